#!/usr/bin/env bash
# tessaly-cli against OpenCC 1.4.2 itself (its converter over the whole text, opencc-whole, built
# from the pinned sources in tests/opencc14/), every standard of the bundled data, byte for byte: on a text made of every dictionary's keys and values
# run together (so that phrases meet, overlap and are cut by ASCII and line breaks), each
# character normalization changes, ideographic description sequences (whole, nested, cut short),
# characters beyond the BMP and plain ASCII; by default and with the tofu-risk dictionaries.
#   opencc14-compare-test.sh tessaly-cli opencc-whole DATA_DIR [SEED]
set -euo pipefail
cli=${1:?usage: opencc14-compare-test.sh tessaly-cli opencc-whole DATA_DIR [SEED]}
opencc=${2:?usage: opencc14-compare-test.sh tessaly-cli opencc-whole DATA_DIR [SEED]}
data=${3:?usage: opencc14-compare-test.sh tessaly-cli opencc-whole DATA_DIR [SEED]}
seed=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every dictionary as text, through Debian's OpenCC, which reads these .ocd2 files too.
for dict in "$data"/*.ocd2; do
  opencc_dict -i "$dict" -o "$work/$(basename "$dict" .ocd2).txt" -f ocd2 -t text
done

# Keys and values in a shuffled order, joined directly or by a separator now and then.
awk -F '\t' -v seed="$seed" '
  BEGIN { srand(seed) }
  { words[n++] = $1; split($2, values, " "); for (v in values) words[n++] = values[v] }
  END {
    split(" |\n|, |。|a|SQL |\r\n|\t|…|😀|𠮷|⿰|⿱⿰", separators, "|")
    for (i = n - 1; i > 0; i--) { j = int(rand() * (i + 1)); t = words[i]; words[i] = words[j]; words[j] = t }
    for (i = 0; i < n; i++) {
      printf "%s", words[i]
      r = rand()
      if (r < 0.3) printf "%s", separators[1 + int(rand() * 12)]
    }
    print ""
  }' "$work"/*.txt >"$work/text"
# Description sequences whole, nested, deeper than OpenCC reads and cut short; compatibility
# ideographs among phrases; a last line without a line feed.
{
  printf '⿰发育 ⿱⿰头发干 ⿲软件里面 ⿰𠮷发 ⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰⿰发育头发 ⿰发\n'
  printf '\xEF\xA4\x80\xEF\xA4\x81发育 \xEF\xA9\xAA头发 \xF0\xAF\xA0\x80\xF0\xAF\xA8\x9D 里面\n'
  cut -f1 "$work/CJK_Compatibility_Ideographs.txt" | tr -d '\n'
  printf '\n头发干燥 text 😀⿰'
} >>"$work/text"

failures=0 passes=0 bytes=0
for config in "$data"/*.json; do
  mode=$(basename "$config" .json)
  for tofu in "" "--include-tofu-risk"; do
    ref_flag=${tofu:+--include-tofu-risk-dictionaries}
    "$cli" -e utf-8 -m "$mode" $tofu <"$work/text" >"$work/ours" || true
    "$opencc" "$config" $ref_flag <"$work/text" >"$work/theirs"
    if cmp -s "$work/ours" "$work/theirs"; then
      passes=$((passes + 1))
      bytes=$((bytes + $(stat -c %s "$work/theirs")))
    else
      failures=$((failures + 1))
      echo "FAIL $mode $tofu: $(cmp "$work/ours" "$work/theirs" 2>&1 | head -n1)"
    fi
  done
done
echo "compared $bytes bytes of OpenCC 1.4.2's output over $(stat -c %s "$work/text") bytes of text per run"
echo "opencc14-compare-test: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
