# fish completion for tessaly-cli; the mode list follows the engine's mode table.
complete -c tessaly-cli -s h -l help -d 'Print every option and mode and exit'
complete -c tessaly-cli -s V -l version -d 'Print the version and exit'
complete -c tessaly-cli -s m -l mode -x -d 'Conversion mode' -a '
  hex-encode\t"text to a hex listing of its bytes"
  hex-decode\t"a hex listing of bytes back to text"
  utf16-encode\t"text to a hex listing of its UTF-16LE bytes"
  utf16-decode\t"a hex listing of UTF-16LE bytes back to text"
  random\t"256 distinct random byte values"
  s2t\t"simplified Chinese to traditional"
  t2s\t"traditional Chinese to simplified"
  gbk-to-big5\t"GBK bytes re-encoded as BIG5"
  big5-to-gbk\t"BIG5 bytes re-encoded as GBK"
  char-array\t"a C character-array initialiser"
  utf8-encode\t"text to a hex listing of its UTF-8 bytes"
  utf8-decode\t"a hex listing of UTF-8 bytes back to text"
  format\t"no conversion: delete and re-join"
  s2tw\t"simplified to traditional, Taiwan characters"
  s2twp\t"simplified to traditional, Taiwan phrases"
  s2hk\t"simplified to traditional, Hong Kong characters"
  tw2s\t"traditional (Taiwan) to simplified"
  tw2sp\t"traditional (Taiwan) to simplified, mainland phrases"
  hk2s\t"traditional (Hong Kong) to simplified"
  t2tw\t"traditional (OpenCC) to Taiwan"
  tw2t\t"traditional (Taiwan) to OpenCC"
  t2hk\t"traditional (OpenCC) to Hong Kong"
  hk2t\t"traditional (Hong Kong) to OpenCC"
  t2jp\t"traditional characters to Japanese shinjitai"
  jp2t\t"Japanese shinjitai to traditional characters"'
complete -c tessaly-cli -s s -l separator -x -d 'Separator between pieces' -a 'none space comma dot 0x'
complete -c tessaly-cli -s d -l delete -x -d 'Characters deleted first' \
  -a '(string replace -r "[^,]*\$" "" -- (commandline -ct))(echo all none spaces dots commas tabs newlines | string split " ")'
complete -c tessaly-cli -s e -l encoding -x -d 'Working encoding' -a 'gbk gb18030 big5 utf-8 shift_jis euc-kr'
complete -c tessaly-cli -l newlines -x -d 'Line-break treatment' -a 'as-is crlf'
complete -c tessaly-cli -l raw -d 'Bytes of the working encoding in and out'
complete -c tessaly-cli -l strict -d 'Any loss is an error'
complete -c tessaly-cli -l seed -x -d 'Seed for random'
complete -c tessaly-cli -l phrases -r -F -d 'Your own phrases for the simplified/traditional modes'
complete -c tessaly-cli -s o -l output -r -F -d 'Write the result to a file'
