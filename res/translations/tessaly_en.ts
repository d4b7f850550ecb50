<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MainDialog</name>
    <message>
        <source>转换后输出格式设置:</source>
        <translation>Format settings:</translation>
    </message>
    <message>
        <source>删空格</source>
        <translation>No spaces</translation>
    </message>
    <message>
        <source>删,</source>
        <translation>No ,</translation>
    </message>
    <message>
        <source>删.</source>
        <translation>No .</translation>
    </message>
    <message>
        <source>删Tab键</source>
        <translation>No tabs</translation>
    </message>
    <message>
        <source>删换行</source>
        <translation>No line breaks</translation>
    </message>
    <message>
        <source>不加</source>
        <translation>None</translation>
    </message>
    <message>
        <source>加空格</source>
        <translation>Add spaces</translation>
    </message>
    <message>
        <source>加,</source>
        <translation>Add ,</translation>
    </message>
    <message>
        <source>加.</source>
        <translation>Add .</translation>
    </message>
    <message>
        <source>加0x ,</source>
        <translation>Add 0x ,</translation>
    </message>
    <message>
        <source>官网.更新.定制.赞助.合作.用户交流群.请点我.</source>
        <translation>Website: updates, custom work, sponsoring, community</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>转换</source>
        <translation>Convert</translation>
    </message>
</context>
<context>
    <name>Mode</name>
    <message>
        <source>字符串转16进制</source>
        <translation>Text to hex</translation>
    </message>
    <message>
        <source>说明:
12345 = 31 32 33 34 35 
你好 = C4 E3 BA C3 </source>
        <translation>Example:
12345 = 31 32 33 34 35 
你好 = C4 E3 BA C3 </translation>
    </message>
    <message>
        <source>16进制转字符串</source>
        <translation>Hex to text</translation>
    </message>
    <message>
        <source>说明:
31 32 33 34 35 = 12345 
C4 E3 BA C3 = 你好</source>
        <translation>Example:
31 32 33 34 35 = 12345 
C4 E3 BA C3 = 你好</translation>
    </message>
    <message>
        <source>字符串转Unicode</source>
        <translation>Text to UTF-16</translation>
    </message>
    <message>
        <source>说明:
12345 = 31 00 32 00 33 00 34 00 35 00 
你好 = 60 4F 7D 59 </source>
        <translation>Example:
12345 = 31 00 32 00 33 00 34 00 35 00 
你好 = 60 4F 7D 59 </translation>
    </message>
    <message>
        <source>Unicode转字符串</source>
        <translation>UTF-16 to text</translation>
    </message>
    <message>
        <source>说明:
31 00 32 00 33 00 34 00 35 00 = 12345 
60 4F 7D 59 = 你好</source>
        <translation>Example:
31 00 32 00 33 00 34 00 35 00 = 12345 
60 4F 7D 59 = 你好</translation>
    </message>
    <message>
        <source>生成256个随意值</source>
        <translation>256 random bytes</translation>
    </message>
    <message>
        <source>说明:
点转换会直接生成256个不重复的随机值</source>
        <translation>Note:
“Convert” makes 256 random values, no two alike</translation>
    </message>
    <message>
        <source>简转繁(GB2312-&gt;GBK)</source>
        <translation>Simplified to traditional</translation>
    </message>
    <message>
        <source>说明:
中华人民共和国=中華人民共和國</source>
        <translation>Example:
中华人民共和国=中華人民共和國</translation>
    </message>
    <message>
        <source>繁转简(GBK-&gt;GB2312)</source>
        <translation>Traditional to simplified</translation>
    </message>
    <message>
        <source>说明:
中華人民共和國=中华人民共和国</source>
        <translation>Example:
中華人民共和國=中华人民共和国</translation>
    </message>
    <message>
        <source>繁转BIG5(GBK-&gt;BIG5)</source>
        <translation>GBK to BIG5</translation>
    </message>
    <message>
        <source>说明:
中華人民共和國={}</source>
        <translation>Example:
中華人民共和國={}</translation>
    </message>
    <message>
        <source>BIG5转繁(BIG5-&gt;GBK)</source>
        <translation>BIG5 to GBK</translation>
    </message>
    <message>
        <source>说明:
{}=中華人民共和國</source>
        <translation>Example:
{}=中華人民共和國</translation>
    </message>
    <message>
        <source>加,''拆分字符串</source>
        <translation>C char array</translation>
    </message>
    <message>
        <source>说明:
{}</source>
        <translation>Example:
{}</translation>
    </message>
    <message>
        <source>字符串转UTF8</source>
        <translation>Text to UTF-8</translation>
    </message>
    <message>
        <source>说明:
123你好=313233E4BDA0E5A5BD</source>
        <translation>Example:
123你好=313233E4BDA0E5A5BD</translation>
    </message>
    <message>
        <source>UTF8转字符串</source>
        <translation>UTF-8 to text</translation>
    </message>
    <message>
        <source>说明:
313233E4BDA0E5A5BD=123你好</source>
        <translation>Example:
313233E4BDA0E5A5BD=123你好</translation>
    </message>
    <message>
        <source>不转换只格式化</source>
        <translation>Format only</translation>
    </message>
    <message>
        <source>说明:
11,22.33 44
55,66.77 88 = 1122334455667788</source>
        <translation>Example:
11,22.33 44
55,66.77 88 = 1122334455667788</translation>
    </message>
</context>
<context>
    <name>ProductText</name>
    <message>
        <source>%1 %2 %3 版本%4</source>
        <translation>%1 %2 %3 version %4</translation>
    </message>
    <message>
        <source>关于 %1(&amp;A)...</source>
        <translation>&amp;About %1...</translation>
    </message>
    <message>
        <source>版本 %1,%2 许可</source>
        <translation>Version %1, licensed under %2</translation>
    </message>
</context>
<context>
    <name>tessaly::ui::DialogTextEdit</name>
    <message>
        <source>内存不足,无法粘贴</source>
        <translation>Not enough memory to paste</translation>
    </message>
    <message>
        <source>粘贴后会有一行长达 %1 个字符,超出文本框能显示的 %2 个字符</source>
        <translation>After the paste a line would be %1 characters long, longer than the %2 a text box shows</translation>
    </message>
</context>
<context>
    <name>tessaly::ui::LossNotice</name>
    <message>
        <source>%1 个字符 %2 没有,已变为“?”</source>
        <translation>%1 characters that %2 lacks became “?”</translation>
    </message>
    <message>
        <source>%1 段十六进制没有值,重复了前一个字节</source>
        <translation>%1 hex pieces without a value repeat the byte before</translation>
    </message>
    <message>
        <source>解码结果在第一个零处截断</source>
        <translation>the decoded result ends at its first zero byte</translation>
    </message>
    <message>
        <source>%1 个换行</source>
        <translation>%1 line breaks</translation>
    </message>
    <message>
        <source>%1 个逗号</source>
        <translation>%1 commas</translation>
    </message>
    <message>
        <source>%1 个句点</source>
        <translation>%1 full stops</translation>
    </message>
    <message>
        <source>%1 个空格</source>
        <translation>%1 spaces</translation>
    </message>
    <message>
        <source>%1 个制表符</source>
        <translation>%1 tabs</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>已删除 %1;取消勾选即可保留</source>
        <translation>Deleted %1; untick to keep them</translation>
    </message>
    <message>
        <source>%1 处字节不是有效的 %2,显示为 �</source>
        <translation>%1 places hold bytes that are not valid %2, shown as �</translation>
    </message>
    <message>
        <source>;</source>
        <translation>; </translation>
    </message>
    <message>
        <source>转换损失</source>
        <translation>Conversion losses</translation>
    </message>
</context>
<context>
    <name>tessaly::ui::MainDialog</name>
    <message>
        <source>转换 (F5;焦点不在文本框时也可按 Ctrl+Enter)</source>
        <translation>Convert (F5; Ctrl+Enter when the focus is outside the text boxes)</translation>
    </message>
    <message>
        <source>要转换的文本</source>
        <translation>Text to convert</translation>
    </message>
    <message>
        <source>转换结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>打开官网</source>
        <translation>Open the website</translation>
    </message>
    <message>
        <source>简繁标准</source>
        <translation>Chinese variant standard</translation>
    </message>
    <message>
        <source>简繁词典</source>
        <translation>Chinese variant dictionaries</translation>
    </message>
    <message>
        <source>内置 OpenCC %1</source>
        <translation>Bundled OpenCC %1</translation>
    </message>
    <message>
        <source>系统 OpenCC %1</source>
        <translation>System OpenCC %1</translation>
    </message>
    <message>
        <source>工作编码</source>
        <translation>Working encoding</translation>
    </message>
    <message>
        <source>通用</source>
        <translation>General</translation>
    </message>
    <message>
        <source>台湾</source>
        <translation>Taiwan</translation>
    </message>
    <message>
        <source>台湾用词</source>
        <translation>Taiwan, with its phrases</translation>
    </message>
    <message>
        <source>香港</source>
        <translation>Hong Kong</translation>
    </message>
    <message>
        <source>香港用词</source>
        <translation>Hong Kong, with its phrases</translation>
    </message>
    <message>
        <source>内存不足,无法完成转换</source>
        <translation>Not enough memory to complete the conversion</translation>
    </message>
    <message>
        <source>没有能打开网址的浏览器:%1</source>
        <translation>No browser could open the address: %1</translation>
    </message>
    <message>
        <source>正在转换...</source>
        <translation>Converting...</translation>
    </message>
    <message>
        <source>转换结果有一行长达 %1 个字符,超出文本框能显示的 %2 个字符</source>
        <translation>The result has a line of %1 characters, longer than the %2 a text box shows</translation>
    </message>
    <message>
        <source>出错</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>确定退出?</source>
        <translation>Do you want to quit?</translation>
    </message>
</context>
</TS>
