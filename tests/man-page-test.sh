#!/usr/bin/env bash
# The manual page keeps up with the program: every long option and every mode `--help` lists is
# in tessaly-cli(1), each mode under MODES with an example, the modes that read a listing where -d's
# default is told, and groff finds nothing to warn about.
set -u
cli=${1:?usage: man-page-test.sh path/to/tessaly-cli path/to/tessaly-cli.1}
page=${2:?usage: man-page-test.sh path/to/tessaly-cli path/to/tessaly-cli.1}
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

help=$("$cli" --help) || fail "--help exited with $?"
modes=$(sed -n '/^Modes:/,/^$/{/^  [a-z]/s/^  \([^ ]*\).*/\1/p}' <<<"$help")
options=$(sed -n '/^Options:/,/^$/p' <<<"$help" | grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
[ "$(wc -w <<<"$modes")" -ge 13 ] || fail "found only these modes in --help: $modes"
[ "$(wc -w <<<"$options")" -ge 10 ] || fail "found only these options in --help: $options"

# The page's text with roff's escaped hyphens plain.
source=$(sed 's/\\-/-/g' "$page")
# The tag lines, the line after each `.TP`, name what an entry is about.
tags=$(awk 'previous == ".TP" { print } { previous = $0 }' <<<"$source")
for option in $options; do
  grep -q -E "(^| |\")$option( |\"|$)" <<<"$tags" || fail "option $option has no entry of its own"
done

# Each mode's entry under MODES: from its `.B name` tag to the next `.TP` or section.
modes_section=$(sed -n '/^\.SH MODES/,/^\.SH /p' <<<"$source")
for mode in $modes; do
  entry=$(awk -v tag=".B $mode" '$0 == tag { on = 1; next } on && /^\.(TP|SH)/ { exit } on' \
    <<<"$modes_section")
  if [ -z "$entry" ]; then
    fail "mode $mode has no entry under MODES"
  elif ! grep -q '^\.EX' <<<"$entry"; then
    fail "mode $mode has no example"
  fi
done

# The modes -d deletes all for by default are those --help marks so.
help_readers=$(sed -n '/^Modes:/,/^$/{/(deletes all by default)/s/^  \([^ ]*\).*/\1/p}' <<<"$help" |
  sort | paste -sd ' ')
page_readers=$(awk '/^for the modes that read a listing$/ { on = 1; next }
  on && /^\.B?R/ { print $(NF - 1); if ($NF == ")") exit }' <<<"$source" | sort | paste -sd ' ')
[ -n "$help_readers" ] && [ "$page_readers" = "$help_readers" ] ||
  fail "-d's default: the page names '$page_readers', --help '$help_readers'"

if command -v man >/dev/null; then
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings: $warnings"
fi

echo "$(wc -w <<<"$modes") modes, $(wc -w <<<"$options") options checked; $failures failure(s)"
[ "$failures" -eq 0 ]
