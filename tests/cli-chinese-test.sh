#!/usr/bin/env bash
# End-to-end runs of tessaly-cli's Chinese modes: each case gives arguments, input (printf
# format), the expected standard output as hex bytes, and the expected exit status.
set -u
cli=${1:?usage: cli-chinese-test.sh path/to/tessaly-cli [sanitized]}
sanitized=${2:-OFF}
max_kb=60000
[ "$sanitized" = ON ] && max_kb=1000000  # the sanitizers' shadow memory is no measure
# shellcheck source=tests/cli_check.sh
. "$(dirname "$0")/cli_check.sh"

prc_gbk='\xD6\xD0\xC8\x41\xC8\xCB\xC3\xF1\xB9\xB2\xBA\xCD\x87\xF8'
prc_big5='\xA4\xA4\xB5\xD8\xA4\x48\xA5\xC1\xA6\x40\xA9\x4D\xB0\xEA'

# The bundled data is today's OpenCC's; the system's gives OpenCC 1.1's results.
check s2t-bundled '-m s2t' '胚胎发育 事情不断发生 复盘 托着 跳梁小丑' "$(utf8hex '胚胎發育 事情不斷發生 復盤 托着 跳樑小丑')" 0
check s2twp-bundled '-m s2twp' '控制台' "$(utf8hex 控制台)" 0
check s2t-system '--data system -m s2t' '胚胎发育 事情不断发生 复盘 托着 跳梁小丑' "$(utf8hex '胚胎髮育 事情不斷髮生 覆盤 託着 跳樑小醜')" 0
check s2twp-system '--data system -m s2twp' '控制台' "$(utf8hex 控制檯)" 0
check s2hkp-bundled '-m s2hkp' '鼠标软件 头发' "$(utf8hex '滑鼠軟件 頭髮')" 0
check hk2sp-bundled '-m hk2sp' '滑鼠軟件 頭髮' "$(utf8hex '鼠标软件 头发')" 0
check s2hkp-system '--data system -m s2hkp' 'x' '' 2 "system's OpenCC .* data has no 's2hkp.json'"
check data-folder-without-configuration '--data / -m s2t' 'x' '' 2 "no OpenCC configuration 's2t.json' in '/'"

# Text mode: UTF-8 in and out.
check s2t-prc '-m s2t' '中华人民共和国' "$(utf8hex 中華人民共和國)" 0
check t2s-prc '-m t2s' '中華人民共和國' "$(utf8hex 中华人民共和国)" 0
check s2t-phrases '-m s2t' '头发干燥，干部' "$(utf8hex 頭髮乾燥，幹部)" 0
check t2s-phrases '-m t2s' '頭髮乾燥，幹部' "$(utf8hex 头发干燥，干部)" 0
check t2s-keeps-what-gbk-lacks '-m t2s' '羅儸' "$(utf8hex 罗儸)" 0
check s2t-empty-hexlist '-m s2t -s 0x' '' "$(utf8hex 0x)" 0
check s2t-keeps-every-byte '-m s2t' '头发, 干燥.\n第二行 text\n' "$(utf8hex '頭髮, 乾燥.
第二行 text
')" 0
check s2t-zero-is-a-character '--raw -m s2t' '\xCD\xB7\0\xB7\xA2' ee5e00b06c 0
check gbk-to-big5-text-unmappable '-m gbk-to-big5' '简a' 3f61 0 "no BIG5 form.*byte 0: '简' U+7B80"
# As text, each side of the BIG5 modes is read and written in its own encoding.
check gbk-to-big5-text '-m gbk-to-big5' '中华人民共和国' "$(utf8hex '中?人民共和?')" 0 "2 character(s) have no BIG5 form.*byte 3: '华'"
check gbk-to-big5-text-traditional '-m gbk-to-big5' '中華人民共和國' "$(utf8hex 中華人民共和國)" 0
check gbk-to-big5-text-gbk-lacks '-m gbk-to-big5' 'a😀' 613f 0 "1 character(s) have no GBK form.*'😀'"
check big5-to-gbk-text '-m big5-to-gbk' '中華人民共和國' "$(utf8hex 中華人民共和國)" 0
check big5-to-gbk-text-big5-lacks '-m big5-to-gbk' '简a' 3f61 0 "no BIG5 form.*byte 0: '简' U+7B80"
check big5-to-gbk-text-strict '-m big5-to-gbk --strict' '简' 3f 1 "error: 1 character(s) have no BIG5 form"

# Every regional standard with the system's data, as Debian's OpenCC gives it (-e utf-8 holds every
# character).
check s2tw-as-opencc '-e utf-8 --data system -m s2tw' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '軟件 鼠標 頭髮 著 裡面 網路 為什麼 藝術 芸術')" 0
check s2twp-as-opencc '-e utf-8 --data system -m s2twp' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '軟體 滑鼠 頭髮 著 裡面 網路 為什麼 藝術 芸術')" 0
check s2hk-as-opencc '-e utf-8 --data system -m s2hk' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '軟件 鼠標 頭髮 著 裏面 網路 為什麼 藝術 芸術')" 0
check tw2s-as-opencc '-e utf-8 --data system -m tw2s' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 头发 着 里面 网路 为什么 艺术 芸术')" 0
check tw2sp-as-opencc '-e utf-8 --data system -m tw2sp' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 头发 着 里面 网络 为什么 艺术 芸术')" 0
check hk2s-as-opencc '-e utf-8 --data system -m hk2s' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 头发 著 里面 网路 为什么 艺术 芸术')" 0
check t2tw-as-opencc '-e utf-8 --data system -m t2tw' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術')" 0
check tw2t-as-opencc '-e utf-8 --data system -m tw2t' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 頭髮 着 里面 網路 爲什麼 藝術 芸術')" 0
check t2hk-as-opencc '-e utf-8 --data system -m t2hk' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術')" 0
check hk2t-as-opencc '-e utf-8 --data system -m hk2t' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 頭髮 著 里面 網路 爲什麼 藝術 芸術')" 0
check t2jp-as-opencc '-e utf-8 --data system -m t2jp' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 頭髪 著 里面 網路 為什麼 芸術 芸術')" 0
check jp2t-as-opencc '-e utf-8 --data system -m jp2t' '软件 鼠标 頭髮 著 里面 網路 為什麼 藝術 芸術' "$(utf8hex '软件 鼠标 頭髮 著 里面 網路 爲什麼 藝術 藝術')" 0
check s2twp-gbk '-m s2twp' '软件' "$(utf8hex 軟體)" 0
check s2hk-gbk '-m s2hk' '里面' "$(utf8hex 裏面)" 0

# User phrases win over the standard's; a phrases file that is missing or malformed fails the run
# as an unreadable input does (status 1), naming the file and line.
phrases=$(mktemp)
printf '# mine\n软件\t软体 软件\n' >"$phrases"
check user-phrases "-m s2t --phrases $phrases" '软件 头发' "$(utf8hex '软体 頭髮')" 0
check user-phrases-general-path "-m s2t -d spaces --phrases $phrases" '软件 头发' "$(utf8hex '软体頭髮')" 0
printf '软件\n' >"$phrases"
check user-phrases-malformed "-m s2t --phrases $phrases" 'x' '' 1 ":1: no tab"
check user-phrases-missing "-m s2t --phrases $phrases.missing" 'x' '' 1 "$phrases.missing"
check user-phrases-other-mode "-m hex-encode --phrases $phrases" 'x' '' 2 'simplified/traditional'
printf '\xEF\xBB\xBF软件\t软体\n' >"$phrases"
check user-phrases-byte-order-mark "-m s2t --phrases $phrases" '软件' "$(utf8hex '软体')" 0
awk 'BEGIN { printf "软件\t软体\n"; for (i = 0; i < 256; ++i) printf "软"; printf "\tx\n" }' >"$phrases"
check user-phrases-long-phrase "-m s2t --phrases $phrases" 'x' '' 1 "$phrases:2: the phrase is longer than 255"
check user-phrases-directory "-m s2t --phrases ${phrases%/*}" 'x' '' 1 "${phrases%/*}: a directory, not a phrase file"
check user-phrases-endless "-m s2t --phrases /dev/zero" 'x' '' 1 '/dev/zero: not a regular file'
rm -f "$phrases"

# Raw mode: the bytes as they are.
check gbk-to-big5-prc '--raw -m gbk-to-big5' "$prc_gbk" a4a4b5d8a448a5c1a640a94db0ea 0
check big5-to-gbk-prc '--raw -m big5-to-gbk' "$prc_big5" d6d0c841c8cbc3f1b9b2bacd87f8 0
check gbk-to-big5-grows '--raw -m gbk-to-big5' '\x80\x80\x80' a3e1a3e1a3e1 0
check gbk-to-big5-lacking '--raw -m gbk-to-big5 -d none' '\xBC\xF2 a' 3f2061 0 'no BIG5 form.*byte 0: BCF2'
check gbk-to-big5-spaced '--raw -m gbk-to-big5 -s space' '\xD6\xD0\xC8\x41' a4a420b5d820 0
check gbk-to-big5-empty '--raw -m gbk-to-big5' '' '' 0
check s2t-raw '--raw -m s2t' '\xCD\xB7\xB7\xA2\xB8\xC9\xD4\xEF' ee5ef38cc7acd4ef 0
check t2s-raw-malformed-kept '--raw -m t2s' '\x81\x30\xEE\x5E\xFE' 8130cdb7fe 0

# Raw input longer than one block goes block by block, with a character across each cut.
big=$(mktemp)
{ printf 'A'; for _ in $(seq 80000); do printf "$prc_gbk"; done; } >"$big"
if "$cli" --raw -d none -m gbk-to-big5 "$big" | "$cli" --raw -d none -m big5-to-gbk | cmp -s - "$big" &&
   [ "$("$cli" --raw -d none -m gbk-to-big5 "$big" | head -c 15 | hex)" = "41$(printf "$prc_big5" | hex)" ]; then
  pass
else
  fail "raw-blocks: the GBK to BIG5 to GBK round trip of $(wc -c <"$big") bytes differs"
fi
rm -f "$big"

# A text long enough to be shared out between threads, with two bytes that are not UTF-8: the
# first of them is the one reported, and what is written is the text before it converted.
tmp=$(mktemp -d)
awk 'BEGIN { for (i = 0; i < 15000; ++i) printf "头发干燥，干部 line %d\n", i }' >"$tmp/good"
{ cat "$tmp/good"; printf 'bad \xFF here\n'; cat "$tmp/good" "$tmp/good"; printf '\xFE\n'; cat "$tmp/good" "$tmp/good"; } >"$tmp/text"
first_bad=$(($(wc -c <"$tmp/good") + 4))
head -c "$first_bad" "$tmp/text" | "$cli" -m s2t >"$tmp/expected"
"$cli" -m s2t "$tmp/text" >"$tmp/out" 2>"$tmp/err"
code=$?
if [ "$code" = 1 ] && grep -q "not valid UTF-8 (byte offset $first_bad)" "$tmp/err" &&
   cmp -s "$tmp/out" "$tmp/expected"; then
  pass
else
  fail "threads-first-invalid-byte: status $code, $(cat "$tmp/err") (want byte offset $first_bad)"
fi

# The same text through the batches and pieces and through the whole-input path (--newlines
# crlf changes nothing for text without CR): the same bytes, and the same loss report, counted
# over every piece and first found in the first.
awk 'BEGIN { for (i = 0; i < 120000; ++i) printf "头发干燥%s，干部 %d\n", (i > 70000 && i % 997 == 5 ? "ก" : ""), i }' >"$tmp/text"
"$cli" -m s2t "$tmp/text" >"$tmp/pieces" 2>"$tmp/pieces.err"
"$cli" -m s2t --newlines crlf "$tmp/text" >"$tmp/whole" 2>"$tmp/whole.err"
if cmp -s "$tmp/pieces" "$tmp/whole" && cmp -s "$tmp/pieces.err" "$tmp/whole.err" &&
   grep -q "50 character(s) have no GBK form" "$tmp/pieces.err"; then
  pass
else
  fail "pieces-as-whole: $(cat "$tmp/pieces.err") / $(cat "$tmp/whole.err")"
fi
# --raw on double-byte encodings: a byte that is three bytes of UTF-8 (GBK's euro sign, Shift_JIS's
# half-width katakana), control codes an encoding's table swaps: the bytes the mode keeps come
# back as they were, in a short input and in a long one (the buffer overflowed under ASan).
check raw-gbk-euro '--raw -m s2t' '\x80\x80\x80\xCD\xB7' 808080ee5e 0
check raw-sjis-katakana '-e shift_jis --raw -m s2t' '\xB1\xB2\xB3' b1b2b3 0
check raw-sjis-controls '-e shift_jis --raw -m s2t' '\x1A\x1C\x7F' 1a1c7f 0
check raw-uhc-single '-e euc-kr --raw -m t2s' '\x80\x80\x80a' 80808061 0
head -c 3000000 /dev/zero | tr '\0' '\200' >"$tmp/euro"
if [ "$("$cli" --raw -m s2t "$tmp/euro" | cmp - "$tmp/euro" && echo same)" = same ]; then pass; else
  fail "raw-gbk-euro-long: the euro signs did not come back as they were"
fi

# A line of any length converts as the whole-input path converts it, in memory bounded by the
# batch: cut before a character no phrase holds, or where the segmentation puts a phrase.
awk 'BEGIN { for (i = 0; i < 400000; ++i) printf "头发干燥，干部%d", i % 10 }' >"$tmp/line"
awk 'BEGIN { for (i = 0; i < 2000000; ++i) printf "发" }' >"$tmp/dense"
for mode in s2t s2twp; do
  for file in line dense; do
    /usr/bin/time -f %M -o "$tmp/kb" "$cli" -m "$mode" "$tmp/$file" >"$tmp/stream"
    "$cli" -m "$mode" --newlines crlf "$tmp/$file" >"$tmp/whole"
    if cmp -s "$tmp/stream" "$tmp/whole" && [ "$(cat "$tmp/kb")" -lt "$max_kb" ]; then pass; else
      fail "long-line-$mode-$file: differs from the whole-input path or took $(cat "$tmp/kb") KB"
    fi
  done
done

# --raw lines of dense double-byte text, with no byte a cut may come before: cut where the
# segmentation puts a phrase, in memory that does not grow with the line (24 MB here).
raw_max_kb=160000
[ "$sanitized" = ON ] && raw_max_kb=2000000
awk 'BEGIN { for (i = 0; i < 12000000; ++i) printf "\xB7\xA2" }' >"$tmp/gbk-line"
awk 'BEGIN { for (i = 0; i < 4000000; ++i) printf "\xB7\xA2\xD5\xB9" }' >"$tmp/gbk-phrases"
for args in "-m s2t $tmp/gbk-line" "-m s2twp $tmp/gbk-phrases"; do
  # shellcheck disable=SC2086
  /usr/bin/time -f %M -o "$tmp/kb" "$cli" --raw $args >"$tmp/stream"
  # shellcheck disable=SC2086
  "$cli" --raw -d tabs $args >"$tmp/whole"
  if cmp -s "$tmp/stream" "$tmp/whole" && [ "$(tail -1 "$tmp/kb")" -lt "$raw_max_kb" ]; then pass; else
    fail "raw-long-line ($args): differs from the whole-input path or took $(tail -1 "$tmp/kb") KB"
  fi
done

# A long line with a byte that is not UTF-8 fails at that byte without holding the rest.
{ head -c 3000000 "$tmp/dense"; printf '\xFF'; cat "$tmp/dense" "$tmp/dense"; } >"$tmp/bad"
/usr/bin/time -f %M -o "$tmp/kb" "$cli" -m s2t "$tmp/bad" >/dev/null 2>"$tmp/err"
code=$?
if [ "$code" = 1 ] && grep -q "byte offset 3000000)" "$tmp/err" && [ "$(tail -1 "$tmp/kb")" -lt "$max_kb" ]; then
  pass
else
  fail "long-line-invalid: status $code, $(cat "$tmp/err"), $(cat "$tmp/kb") KB"
fi

# Configurations and dictionaries come from the data folder, never from the working directory.
mkdir "$tmp/cwd"
printf '{"segmentation": {"type": "mmseg", "dict": {"type": "text", "file": "x.txt"}},
  "conversion_chain": [{"dict": {"type": "text", "file": "x.txt"}}]}' >"$tmp/cwd/s2t.json"
printf '头发\t假的\n' >"$tmp/cwd/x.txt"
printf 'garbage' >"$tmp/cwd/STPhrases.ocd2"
printf 'garbage' >"$tmp/cwd/TSCharacters.ocd2"
for args in '-m s2t' '-m t2s'; do
  # shellcheck disable=SC2086
  out=$(cd "$tmp/cwd" && printf '头发頭髮' | XDG_CACHE_HOME="$tmp/cwd-cache" "$cli" $args 2>&1)
  case "$out" in 頭髮頭髮 | 头发头发) pass ;; *) fail "working-directory ($args): $out" ;; esac
done

# A file-size limit leaves the run whole and no temporary file in the cache; the next run caches.
cache="$tmp/limited-cache"
out=$(ulimit -f 64 && printf '头发' | XDG_CACHE_HOME="$cache" "$cli" -m s2t 2>&1)
code=$?
if [ "$code" = 0 ] && [ "$out" = 頭髮 ] && [ -z "$(ls -A "$cache/tessaly" 2>/dev/null)" ]; then pass; else
  fail "file-size-limit: status $code, $out, cache: $(ls "$cache/tessaly" 2>/dev/null)"
fi
printf '头发' | XDG_CACHE_HOME="$cache" "$cli" -m s2t >/dev/null
if ls "$cache"/tessaly/s2t-*.tables >/dev/null 2>&1; then pass; else fail "file-size-limit: no entry after"; fi

# An entry replaced by a FIFO neither blocks the run nor stays in the way.
entry=$(ls "$cache"/tessaly/s2t-*.tables)
rm "$entry" && mkfifo "$entry"
out=$(printf '头发' | XDG_CACHE_HOME="$cache" timeout 20 "$cli" -m s2t 2>&1)
if [ "$out" = 頭髮 ] && [ -f "$entry" ]; then pass; else fail "fifo-entry: $out"; fi
rm -rf "$tmp"

finish
