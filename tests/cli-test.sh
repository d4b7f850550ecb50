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
check line-break-is-crlf '-m hex-encode -d none' 'a\nb\r\nc' "$(utf8hex 610D0A620D0A63)$nl" 0
check hex-decode '-m hex-decode' 'C4E3BAC3' "$(utf8hex 你好)$nl" 0
check hex-decode-junk '-m hex-decode' '31zz32' "$(utf8hex 112)$nl" 0
check hex-decode-prefix '-m hex-decode' '310x32' "$(utf8hex 112)$nl" 0
check hex-decode-odd '--raw -m hex-decode' '313' 3103 0
check hex-decode-minus-one '--raw -m hex-decode' '\x2d1' ff 0
check hex-decode-zero-kept '-m hex-decode' '41004243' "41004243$nl" 0
check hex-decode-crlf-shown-as-lf '-m hex-decode' '410D0A42' "410a42$nl" 0
check utf16-encode '-m utf16-encode -s space' '12345' "$(utf8hex '31 00 32 00 33 00 34 00 35 00 ')$nl" 0
check utf16-decode '-m utf16-decode' '4100004E' "$(utf8hex A一)$nl" 0
check utf16-decode-odd '-m utf16-decode' '410042' "$(utf8hex AB)$nl" 0
check utf16-decode-one-byte '-m utf16-decode' '41' "$(utf8hex A)$nl" 0
check utf16-decode-zero-unit '-m utf16-decode' '410000004200' "$(utf8hex A)$nl" 0
check utf16-decode-leading-zero '-m utf16-decode' '00004100' "$nl" 0
check utf16-encode-empty-hexlist '-m utf16-encode -s 0x' '' "$(utf8hex 0x)$nl" 0
check utf8-decode-zero-byte '-m utf8-decode' 'E4BDA00041' "$(utf8hex 你)$nl" 0
check utf8-encode '-m utf8-encode' '123你好' "$(utf8hex 313233E4BDA0E5A5BD)$nl" 0
check utf8-decode '-m utf8-decode' '313233E4BDA0E5A5BD' "$(utf8hex 123你好)$nl" 0
check char-array '-m char-array' 'ab' "$(utf8hex "{'a','b','\\0'};")$nl" 0
check delete-subset '-d spaces,commas' '1 2,3.4' "$(utf8hex 123.4)$nl" 0
check delete-none '-d none' ' a ' "$(utf8hex ' a ')$nl" 0
check unmappable-warns '-m hex-encode' 'aกb' "$(utf8hex 613F62)$nl" 0 'warning: 1 '
check file-argument "-m hex-encode $0.missing" '' '' 1 'cannot read'
check invalid-utf8 '-m hex-encode' 'ab\xff' '' 1 'byte offset 2'

# Raw mode: bytes as they are, nothing appended.
check raw-hex-decode '--raw -m hex-decode -s none' '41004243' 41004243 0
check raw-hex-encode '--raw -m hex-encode -d none' '\x80\xff\x00' "$(utf8hex 80FF00)" 0
check raw-format '--raw -d spaces' '\x81 \xc4\xe3 \xba\xc3' 8120c4e3bac3 0

# Usage errors: exit 2, nothing on standard output, the message names the bad word.
check bad-mode '-m bogus' 'x' '' 2 "'bogus'.*hex-encode"
check bad-separator '-s tab' 'x' '' 2 "'tab'.*comma"
check bad-deletion '-d spaces,foo' 'x' '' 2 "'foo'.*newlines"
check bad-seed-negative '--seed -1' 'x' '' 2 "'-1'"
check bad-seed-too-big '--seed 4294967296' 'x' '' 2 "4294967296"
check unknown-option '--frobnicate' 'x' '' 2 'frobnicate'

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
if "$cli" --raw -d none -m hex-encode "$big" | "$cli" --raw -d none -m hex-decode | cmp -s - "$big" &&
   [ "$("$cli" --raw -d none -m char-array "$big" | wc -c)" -eq $((4 * 2621441 + 7)) ]; then
  pass
else
  fail "raw-blocks: hex round trip or char-array length differs"
fi
rm -f "$big"

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
fi
rm -rf "$tmpdir"

finish
