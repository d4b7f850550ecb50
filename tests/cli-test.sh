#!/usr/bin/env bash
# End-to-end runs of tessaly-cli: each case gives arguments, input (printf format), the expected
# standard output as hex bytes, and the expected exit status.
set -u
cli=${1:?usage: cli-test.sh path/to/tessaly-cli [sanitized]}
sanitized=${2:-OFF}
# shellcheck source=tests/cli_check.sh
. "$(dirname "$0")/cli_check.sh"

# Text mode: UTF-8 in, UTF-8 out with one line feed after it.
check format-default '' '11,22.33 44\n55,66.77 88' "$(utf8hex 1122334455667788)$nl" 0
check format-hexlist '-s 0x' '11,22.33 44\n55,66.77 88' "$(utf8hex 0x11,0x22,0x33,0x44,0x55,0x66,0x77,0x88)$nl" 0
check empty-hexlist '-s 0x' '' "$(utf8hex 0x)$nl" 0
check hex-encode-space '-m hex-encode -s space' '12345' "$(utf8hex '31 32 33 34 35 ')$nl" 0
check hex-encode-gbk '-m hex-encode' '你好' "$(utf8hex C4E3BAC3)$nl" 0
check line-break-crlf '-m hex-encode --newlines crlf' 'a\nb\r\nc' "$(utf8hex 610D0A620D0A63)$nl" 0
check line-break-as-is '-m hex-encode' 'a\nb\r\nc\rd' "$(utf8hex 610A620D0A630D64)$nl" 0
check listing-ends-with-one-lf '-m hex-encode' 'a\n' "$(utf8hex 610A)$nl" 0
check listing-keeps-its-own-lf '-m format' '41\n' "$(utf8hex 41)$nl" 0
check format-as-is-lf-kept '-m format -d none' '41\n' "$(utf8hex 41)$nl" 0
check hex-decode '-m hex-decode' 'C4E3BAC3' "$(utf8hex 你好)" 0
check text-result-written-exactly '-m hex-decode' '410A' "$(utf8hex A)$nl" 0
check hex-decode-junk '-m hex-decode' '31zz32' "$(utf8hex 112)" 0 "1 hex piece(s) held no value.*byte 2: 'zz'"
check hex-decode-junk-offset-before-deletions '-m hex-decode' '31 32 ZZ' "$(utf8hex 122)" 0 "byte 6: 'ZZ'"
check hex-decode-empty-pieces-counted '-m hex-decode' 'ZZ41x' 004141 0 "2 hex piece(s).*byte 0: 'ZZ'"
check hex-decode-strict '-m hex-decode --strict' 'ZZ41' 0041 1 "error: 1 hex piece"
check hex-decode-invalid-output '-m hex-decode' '4181' 41efbfbd 0 "not valid GBK.*byte 1 of the result: 81.*--raw"
check hex-decode-invalid-output-strict '-m hex-decode --strict' '4181' 41efbfbd 1 'error: 1 byte sequence'
check hex-decode-prefix '-m hex-decode' '310x32' "$(utf8hex 112)" 0 "byte 2: '0x'"
check hex-decode-odd '--raw -m hex-decode' '313' 3103 0 "warning: the listing has an odd number of digits; the last piece '3' was read as 03"
check hex-decode-odd-text '-m hex-decode' '414' 4104 0 "the last piece '4' was read as 04"
check hex-decode-odd-letter '-m hex-decode' '41 a' 410a 0 "the last piece 'a' was read as 0A"
check hex-decode-odd-strict '-m hex-decode --strict' '414' 4104 1 "error: the listing has an odd number of digits"
check utf16-decode-odd-digit '-m utf16-decode' '41004' 4104 0 "the last piece '4' was read as 04"
check hex-decode-odd-non-digit-is-no-odd-digit '-m hex-decode' '41x' 4141 0 "byte 2: 'x'"
# "0x" prefixes are separators where a listing is decoded: C arrays and the 0x style read back.
check hex-decode-c-array '-m hex-decode' '0x41, 0X42,0x43' "$(utf8hex ABC)" 0
check hex-decode-prefix-after-digit-is-a-piece '-m hex-decode' '410x42' 414142 0 "byte 2: '0x'"
check hex-decode-lone-prefix '-m hex-decode' '41,0x' 4141 0 "byte 3: '0x'"
check hex-decode-prefix-needs-a-deletion '-m hex-decode -d none' '0x41' 0041 0 "byte 0: '0x'"
check hex-decode-prefix-tabs-only '-m hex-decode -d tabs' '0x41	0x42' "$(utf8hex AB)" 0
check format-keeps-prefixes '-m format' '0x41, 0x42' "$(utf8hex 0x410x42)$nl" 0
check raw-prefix-blanked '--raw -m hex-decode' '0xC4,0xE3' c4e3 0
check hex-decode-minus-one '--raw -m hex-decode' '\x2d1' ff 0
check hex-decode-zero-kept '-m hex-decode' '41004243' 41004243 0
check hex-decode-crlf-as-is '-m hex-decode' '410D0A42' 410d0a42 0
check hex-decode-crlf-shown-as-lf '-m hex-decode --newlines crlf' '410D0A42' 410a42 0
check utf16-encode '-m utf16-encode -s space' '12345' "$(utf8hex '31 00 32 00 33 00 34 00 35 00 ')$nl" 0
check utf16-decode '-m utf16-decode' '4100004E' "$(utf8hex A一)" 0
check utf16-decode-odd '-m utf16-decode' '410042' "$(utf8hex AB)" 0
check utf16-decode-one-byte '-m utf16-decode' '41' "$(utf8hex A)" 0
check utf16-decode-zero-unit '-m utf16-decode' '410000004200' "$(utf8hex A)" 0 'ends at its first zero, at byte 4 of the input'
check utf16-decode-beyond-gbk '-m utf16-decode' '4100010E' "$(utf8hex Aก)" 0
check utf16-decode-unmappable-raw '--raw -m utf16-decode' '4100010E' 413f 0 "1 character(s) have no GBK form.*byte 4: 'ก' U+0E01"
check utf16-decode-leading-zero '-m utf16-decode' '00004100' '' 0 'at byte 0 of the input'
check utf16-encode-empty-hexlist '-m utf16-encode -s 0x' '' "$(utf8hex 0x)$nl" 0
check utf8-decode-zero-byte '-m utf8-decode' 'E4BDA00041' "$(utf8hex 你)" 0 'at byte 6 of the input'
check utf8-decode-malformed '-m utf8-decode' '41E4BD' "$(utf8hex A?)" 0 'byte 2: malformed E4BD'
check utf8-encode '-m utf8-encode' '123你好' "$(utf8hex 313233E4BDA0E5A5BD)$nl" 0
check utf8-decode '-m utf8-decode' '313233E4BDA0E5A5BD' "$(utf8hex 123你好)" 0
check char-array '-m char-array' 'ab' "$(utf8hex "{'a','b','\\0'};")$nl" 0
# Every element a C character constant: quote and backslash escaped, other bytes as \xNN.
check char-array-quote '-m char-array' "it's" "$(utf8hex "{'i','t','\\'','s','\\0'};")$nl" 0
check char-array-backslash '-m char-array' 'a\\b' "$(utf8hex "{'a','\\\\','b','\\0'};")$nl" 0
check char-array-line-break '-m char-array' 'a\r\n' "$(utf8hex "{'a','\\x0D','\\x0A','\\0'};")$nl" 0
check char-array-chinese-text '-m char-array' '你' "$(utf8hex "{'\\xC4','\\xE3','\\0'};")$nl" 0
check char-array-big5-text '-e big5 -m char-array' '台' "$(utf8hex "{'\\xA5','x','\\0'};")$nl" 0
check delete-subset '-d spaces,commas' '1 2,3.4' "$(utf8hex 123.4)$nl" 0
check delete-none '-d none' ' a ' "$(utf8hex ' a ')$nl" 0
check unmappable-warns '-m hex-encode' 'aกb' "$(utf8hex 613F62)$nl" 0 "warning: 1 character(s) have no GBK form.*byte 1: 'ก' U+0E01"
check unmappable-strict '-m hex-encode --strict' 'aกb' "$(utf8hex 613F62)$nl" 1 'error: 1 character'
check clean-run-is-silent '-m hex-encode --strict' 'ab' "$(utf8hex 6162)$nl" 0
# Deletions by mode: listings are reshaped, texts keep every byte unless told.
check text-mode-deletes-nothing '-m hex-encode' 'a b,c' "$(utf8hex 6120622C63)$nl" 0
check listing-mode-deletes-all '-m hex-decode' '41 42,43' "$(utf8hex ABC)" 0
check explicit-deletion-wins '-m hex-encode -d spaces' 'a b,c' "$(utf8hex 61622C63)$nl" 0
check explicit-none-wins '-m format -d none' '1 2' "$(utf8hex '1 2')$nl" 0
check file-argument "-m hex-encode $0.missing" '' '' 1 'cannot read'
check invalid-utf8 '-m hex-encode' 'ab\xff' '' 1 'byte offset 2'

# Raw mode: bytes as they are, nothing appended.
check raw-hex-decode '--raw -m hex-decode -s none' '41004243' 41004243 0
check raw-hex-encode '--raw -m hex-encode -d none' '\x80\xff\x00' "$(utf8hex 80FF00)" 0
check raw-format '--raw -d spaces' '\x81 \xc4\xe3 \xba\xc3' 8120c4e3bac3 0
check raw-hex-decode-strict '--raw -m hex-decode --strict' 'ZZ41' 0041 1 'error: 1 hex piece'
check raw-zero-is-a-character '--raw -m gbk-to-big5' 'a\0b' 610062 0
check raw-zero-utf8-encode '--raw -m utf8-encode' 'a\0b' "$(utf8hex 610062)" 0
check raw-unmappable-bytes '--raw -m big5-to-gbk' '\xa4\x40\x80' d2bb3f 0 'byte 2: 80'
# The version names the dictionary data converted with by default, and OpenCC's notice.
version=$("$cli" -V)
if [ "$(head -n2 <<<"$version")" = "tessaly-cli $("$cli" --version | head -n1 | cut -d' ' -f2)
Licence: Apache-2.0" ] && grep -q '^Data: OpenCC [0-9.]* data, bundled (/' <<<"$version" &&
   grep -q 'data of OpenCC.*Apache License, Version 2.0' <<<"$version"; then
  pass
else
  fail "version-short: $version"
fi

# Working encodings, and the Unicode modes beyond any of them.
check emoji-utf8-encode '-m utf8-encode' '😀' "$(utf8hex F09F9880)$nl" 0
check emoji-utf16-encode '-m utf16-encode' '😀' "$(utf8hex 3DD800DE)$nl" 0
check emoji-utf8-decode '-m utf8-decode' 'F09F9880' "$(utf8hex 😀)" 0
check emoji-utf16-decode '-m utf16-decode' '3DD800DE' "$(utf8hex 😀)" 0
check emoji-raw-decode-is-gbk '--raw -m utf8-decode' 'F09F9880' 3f 0 "no GBK form.*U+1F600"
check big5-hex '-e big5 -m hex-encode' '台灣' "$(utf8hex A578C657)$nl" 0
check gb18030-hex '-e gb18030 -m hex-encode' '😀€' "$(utf8hex 9439FC36A2E3)$nl" 0
check shift-jis-hex '-e shift_jis -m hex-encode' 'テスト' "$(utf8hex 836583588367)$nl" 0
check euc-kr-hex '-e euc-kr -m hex-encode' '한국어' "$(utf8hex C7D1B1B9BEEE)$nl" 0
check utf8-hex '-e utf-8 -m hex-encode' '한국어' "$(utf8hex ED959CEAB5ADEC96B4)$nl" 0
check big5-unhex '-e big5 -m hex-decode' 'A578C657' "$(utf8hex 台灣)" 0
check gb18030-unhex '-e GB18030 -m hex-decode' '9439FC36A2E3' "$(utf8hex 😀€)" 0
check shift-jis-unhex '-e sjis -m hex-decode' '836583588367' "$(utf8hex テスト)" 0
check euc-kr-unhex '-e cp949 -m hex-decode' 'C7D1B1B9BEEE' "$(utf8hex 한국어)" 0
check utf8-unhex '-e utf8 -m hex-decode' 'ED959CEAB5ADEC96B4' "$(utf8hex 한국어)" 0
check big5-lacks '-e big5 -m hex-encode' '简' "$(utf8hex 3F)$nl" 0 "no BIG5 form.*'简' U+7B80"
check sjis-walk '--raw -e shift_jis -d spaces' '\xA4\x20\x41\x20' a441 0
check gbk-walk '--raw -e gbk -d spaces' '\xA4\x20\x41\x20' a42041 0
check big5-mode-needs-raw '-e big5 -m gbk-to-big5' 'x' '' 2 'use --raw'
check bad-encoding '-e latin1' 'x' '' 2 "'latin1'.*shift_jis"

# Usage errors: exit 2, nothing on standard output, the message names the bad word.
check bad-mode '-m bogus' 'x' '' 2 "'bogus'.*hex-encode"
check bad-separator '-s tab' 'x' '' 2 "'tab'.*comma"
check bad-deletion '-d spaces,foo' 'x' '' 2 "'foo'.*newlines"
check bad-seed-negative '--seed -1' 'x' '' 2 "'-1'"
check bad-seed-too-big '--seed 4294967296' 'x' '' 2 "4294967296"
check unknown-option '--frobnicate' 'x' '' 2 'frobnicate'
check unknown-arguments-in-order '-c -i novel.txt extra.txt' 'x' '' 2 'arguments were not expected: -c -i extra.txt$'
check usage-error-hint '-m bogus' 'x' '' 2 "Try 'tessaly-cli --help' for more information."
check bad-newlines '--newlines lf' 'x' '' 2 "'lf'.*crlf"

# -o replaces the file only when the run succeeds; 'random' reads nothing, even from a pipe that
# never ends.
out_dir=$(mktemp -d)
printf 'old' >"$out_dir/result"
printf 'ab' | "$cli" -m hex-encode -o "$out_dir/result" && [ "$(cat "$out_dir/result")" = 6162 ] &&
  [ -z "$(ls "$out_dir" | grep -v '^result$')" ] && pass || fail "output-file: $(cat "$out_dir/result")"
printf 'old' >"$out_dir/result"
"$cli" -m hex-encode -o "$out_dir/result" "$out_dir/missing" 2>/dev/null
[ "$(cat "$out_dir/result")" = old ] && [ -z "$(ls "$out_dir" | grep -v '^result$')" ] && pass ||
  fail "output-file-kept-on-failure: $(cat "$out_dir/result")"
# only_result NAME...: the folder holds these names and nothing else, no temporary left behind.
only_result() { [ "$(ls -A "$out_dir" | sort | tr '\n' ' ')" = "$* " ]; }
printf 'old' >"$out_dir/result"
printf 'ZZ41' | "$cli" -m hex-decode --strict -o "$out_dir/result" 2>/dev/null
code=$?
[ "$code" = 1 ] && [ "$(cat "$out_dir/result")" = old ] && only_result result && pass ||
  fail "output-file-kept-on-strict-loss: status $code, $(cat "$out_dir/result")"
# Through a symbolic link (relative, and one to a file not there yet) the target is written and
# the link stays; the target keeps its permissions.
mkdir "$out_dir/sub" && ln -s ../result "$out_dir/sub/link" && chmod 600 "$out_dir/result"
printf 'ab' | "$cli" -m hex-encode -o "$out_dir/sub/link" && [ -L "$out_dir/sub/link" ] &&
  [ "$(cat "$out_dir/result")" = 6162 ] && [ "$(stat -c %a "$out_dir/result")" = 600 ] &&
  [ "$(ls -A "$out_dir/sub")" = link ] && only_result result sub && pass ||
  fail "output-through-link: $(ls -lA "$out_dir" "$out_dir/sub")"
rm -rf "$out_dir/sub" && ln -s new "$out_dir/dangling"
printf 'ab' | "$cli" -m hex-encode -o "$out_dir/dangling" && [ -L "$out_dir/dangling" ] &&
  [ "$(cat "$out_dir/new")" = 6162 ] && only_result dangling new result && pass ||
  fail "output-through-dangling-link: $(ls -lA "$out_dir")"
rm -f "$out_dir/dangling" "$out_dir/new"
# What is not a regular file is written where it is, never replaced.
mkfifo "$out_dir/fifo"
cat "$out_dir/fifo" >"$out_dir/read" &
printf 'ab' | "$cli" -m hex-encode -o "$out_dir/fifo"
code=$?
wait
[ "$code" = 0 ] && [ -p "$out_dir/fifo" ] && [ "$(cat "$out_dir/read")" = 6162 ] &&
  only_result fifo read result && pass || fail "output-fifo-in-place: status $code"
rm -f "$out_dir/fifo" "$out_dir/read"
out=$(printf 'ab' | "$cli" -m hex-encode -o /dev/stdout | cat)
[ "$out" = 6162 ] && pass || fail "output-stdout-pipe: '$out'"
if [ "$(id -u)" = 0 ]; then  # only root could replace a device node
  err=$(printf 'ab' | "$cli" -m hex-encode -o /dev/full 2>&1)
  code=$?
  [ "$code" = 1 ] && [ -c /dev/full ] && [[ $err == *"No space left"* ]] && pass ||
    fail "output-device-in-place: status $code, $err, $(ls -l /dev/full)"
fi
# A signal while the input is still coming removes the temporary and ends the run by that signal.
for signal in INT TERM HUP; do
  printf 'old' >"$out_dir/result"
  mkfifo "$out_dir/in"
  exec 4<>"$out_dir/in"
  env --default-signal "$cli" -m hex-encode -o "$out_dir/result" <"$out_dir/in" &
  pid=$!
  started=no
  for _ in $(seq 50); do ls "$out_dir"/result.* >/dev/null 2>&1 && started=yes && break; sleep 0.1; done
  kill -s "$signal" "$pid"
  { wait "$pid"; } 2>/dev/null
  code=$?
  exec 4>&-
  rm -f "$out_dir/in"
  [ "$started" = yes ] && [ "$code" = $((128 + $(kill -l "$signal"))) ] &&
    [ "$(cat "$out_dir/result")" = old ] &&
    only_result result && pass || fail "output-signal-$signal: status $code, $(ls -A "$out_dir")"
done
rm -rf "$out_dir"
never_ends=$(mktemp -u) && mkfifo "$never_ends" && exec 3<>"$never_ends"
if timeout 5 "$cli" -m random --seed 1 <&3 >/dev/null; then pass; else fail "random-reads-nothing"; fi
exec 3>&- && rm -f "$never_ends"

# A seed makes 'random' reproducible: the generator's first draws for seed 1 are 29, 23, BE, 84.
first=$("$cli" -m random --seed 1 -s comma </dev/null)
again=$("$cli" -m random --seed 1 -s comma </dev/null)
top=$("$cli" -m random --seed 4294967295 </dev/null)
if [ "${first:0:12}" = "29,23,BE,84," ] && [ "$first" = "$again" ] && [ ${#first} -eq 768 ] &&
   [ ${#top} -eq 512 ]; then
  pass
else
  fail "random-seeded: '${first:0:24}' (${#first} chars), seed max gave ${#top} chars"
fi

# Raw input larger than one block is converted block by block; the bytes must survive the trip.
big=$(mktemp)
head -c 2621441 /dev/urandom >"$big"
# A char-array element is 3 bytes around a printable byte, 4 around an escaped quote or
# backslash, 6 around \xNN, each with its comma.
plain=$(tr -cd '\040-\046\050-\133\135-\176' <"$big" | wc -c)
quoted=$(tr -cd "\047\134" <"$big" | wc -c)
if "$cli" --raw -d none -m hex-encode "$big" | "$cli" --raw -d none -m hex-decode | cmp -s - "$big" &&
   "$cli" --raw -d none -m hex-encode -s 0x "$big" | "$cli" --raw -m hex-decode | cmp -s - "$big" &&
   [ "$("$cli" --raw -d none -m char-array "$big" | wc -c)" -eq \
     $((4 * plain + 5 * quoted + 7 * (2621441 - plain - quoted) + 7)) ]; then
  pass
else
  fail "raw-blocks: hex round trips or char-array length differ"
fi
rm -f "$big"

# Every style hex-encode writes decodes back, for the three listing pairs.
for pair in hex utf16 utf8; do
  text='a0x 1,2.\t你好'
  [ $pair = hex ] || text="$text😀"
  for style in none space comma dot 0x; do
    back=$(printf '%s' "$text" | "$cli" -m $pair-encode -s $style | "$cli" -m $pair-decode 2>&1)
    [ "$back" = "$text" ] && pass || fail "round-trip $pair $style: '$back'"
  done
done

# The character array of all 256 byte values compiles and holds them, as the system compiler reads
# it; a text's array holds its working-encoding bytes.
if cc=$(command -v cc || command -v gcc); then
  c_dir=$(mktemp -d)
  { printf 'static const char all[] = '
    head -c 256 <(for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done) |
      "$cli" --raw -d none -m char-array
    printf '\nstatic const char text[] = '
    printf "it's a \\\\ 你\n" | "$cli" -m char-array
    cat <<'C'
int main(void) {
  static const unsigned char gbk[] = {'i', 't', 0x27, 's', ' ', 'a', ' ', 0x5C, ' ', 0xC4, 0xE3, 0x0A, 0};
  if (sizeof all != 257 || all[256] != 0) return 1;
  for (int i = 0; i < 256; ++i)
    if ((unsigned char)all[i] != i) return 2;
  if (sizeof text != sizeof gbk) return 3;
  for (unsigned i = 0; i < sizeof gbk; ++i)
    if ((unsigned char)text[i] != gbk[i]) return 4;
  return 0;
}
C
  } >"$c_dir/array.c"
  if "$cc" -std=c99 -Wall -Werror -o "$c_dir/array" "$c_dir/array.c" 2>"$c_dir/err" && "$c_dir/array"; then
    pass
  else
    fail "char-array-compiles: status $?"; sed 's/^/  /' "$c_dir/err"
  fi
  rm -rf "$c_dir"
fi

# Hostile surroundings: clear messages and the contract's exit codes, never a crash.
# expect NAME STATUS STDERR_PATTERN COMMAND...: runs the command, checks its status and message.
expect() {
  local name=$1 status=$2 pattern=$3 err code
  shift 3
  err=$(mktemp)
  "$@" 2>"$err" >/dev/null
  code=$?
  if [ "$code" != "$status" ] || ! grep -q -- "$pattern" "$err"; then
    fail "$name: status $code (want $status)"
    sed 's/^/  stderr: /' "$err"
  else
    pass
  fi
  rm -f "$err"
}
tmpdir=$(mktemp -d)
expect directory 1 'Is a directory' "$cli" "$tmpdir"
expect unreadable 1 'cannot read' "$cli" /proc/self/mem
expect full-disk 1 'No space left' sh -c "printf 1234 | '$cli' -m hex-encode >/dev/full"
head -c 3000000 /dev/zero >"$tmpdir/zeros"
# A reader that stops early ends the run quietly.
code=$( ("$cli" --raw -m hex-encode "$tmpdir/zeros" 2>"$tmpdir/err"; echo $? >"$tmpdir/code") | head -c 1 >/dev/null; cat "$tmpdir/code")
if [ "$code" = 1 ] && [ ! -s "$tmpdir/err" ]; then pass; else
  fail "closed-pipe-quiet: status $code, stderr: $(cat "$tmpdir/err")"; fi
if [ "$sanitized" != ON ]; then  # sanitizers reserve more address space than the limit allows
  head -c 64000000 /dev/zero | tr '\0' A >"$tmpdir/big"
  expect memory-limit 1 'not enough memory' sh -c "ulimit -v 120000; exec '$cli' --raw -m utf16-decode '$tmpdir/big'"
  # Out of memory inside a Chinese mode is no fault of the mode, whose input would pass for its
  # result: the same message, and an output file left as it was.
  printf 'old' >"$tmpdir/result"
  err=$(ulimit -v 250000; "$cli" --raw -m s2t -s space -o "$tmpdir/result" "$tmpdir/big" 2>&1)
  code=$?
  [ "$code" = 1 ] && [ "$err" = "tessaly-cli: not enough memory for this input" ] &&
    [ "$(cat "$tmpdir/result")" = old ] && [ -z "$(ls "$tmpdir" | grep '^result\.')" ] && pass ||
    fail "memory-limit-output: status $code, $err"
fi
rm -rf "$tmpdir"

finish
