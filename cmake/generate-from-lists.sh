#!/usr/bin/env bash
# Fills a template's @...@ places from what tessaly-lists prints (cli/lists.h), so that the manual
# page and the shell completions name exactly the modes and words the program takes.
#   generate-from-lists.sh path/to/tessaly-lists TEMPLATE OUTPUT
set -euo pipefail
lists_program=${1:?usage: generate-from-lists.sh tessaly-lists TEMPLATE OUTPUT}
template=${2:?usage: generate-from-lists.sh tessaly-lists TEMPLATE OUTPUT}
output=${3:?usage: generate-from-lists.sh tessaly-lists TEMPLATE OUTPUT}

lists=$(mktemp)
trap 'rm -f "$lists" "$output.tmp"' EXIT
"$lists_program" >"$lists"

awk -F '\t' '
  # A word list, space-separated.
  function add(key, word) { value[key] = value[key] == "" ? word : value[key] " " word }
  # A line of a multi-line value.
  function add_line(key, line) { value[key] = value[key] == "" ? line : value[key] "\n" line }
  function single_quoted(text, quote_escape) {
    if (quote_escape == "fish") gsub(/\\/, "\\\\", text)
    gsub(/\047/, quote_escape == "fish" ? "\\\047" : "\047\\\047\047", text)
    return "\047" text "\047"
  }
  # Names in bold for the manual, parenthesised and separated by commas: ".RB ( a ," ".BR b )".
  function add_roff_name(key, name) {
    gsub(/-/, "\\-", name)
    count[key]++
    value[key] = count[key] == 1 ? ".RB ( " name : value[key] " ,\n.BR " name
  }
  FNR == NR {
    if ($1 == "mode") {
      add("MODE_NAMES", $2)
      if ($3 == "listing") add_roff_name("LISTING_READERS", $2)
      if ($3 == "listing" && $4 == "text") add_roff_name("LISTING_DECODERS", $2)
      if ($4 == "listing") add_roff_name("LISTING_WRITERS", $2)
      add_line("ZSH_MODES", "  " single_quoted($2 ":" $5, "sh"))
      add_line("FISH_MODES", "  printf \047%s\\t%s\\n\047 " single_quoted($2, "fish") " " \
                           single_quoted($5, "fish"))
    } else if ($1 == "encoding") {
      add("ENCODING_NAMES", $2)
    } else if ($1 == "separator") {
      add("SEPARATOR_WORDS", $2)
    } else if ($1 == "deletion") {
      add("DELETION_WORDS", $2)
    } else if ($1 == "newlines") {
      add("NEWLINES_WORDS", $2)
    } else if ($1 == "data-version") {
      value["OPENCC_DATA_VERSION"] = $2
    } else if ($1 == "manual") {
      add_line("MODE_ENTRIES", substr($0, length("manual\t") + 1))
    } else {
      print "unknown line in the lists: " $0 > "/dev/stderr"
      exit 1
    }
    next
  }
  FNR == 1 {
    for (key in count) value[key] = value[key] " )"
  }
  {
    line = $0
    out = ""
    # Each @KEY@ once replaced, without reading the value as a pattern or a replacement.
    while (match(line, /@[A-Z_]+@/)) {
      key = substr(line, RSTART + 1, RLENGTH - 2)
      if (!(key in value)) {
        print FILENAME ":" FNR ": nothing to put in @" key "@" > "/dev/stderr"
        exit 1
      }
      out = out substr(line, 1, RSTART - 1) value[key]
      line = substr(line, RSTART + RLENGTH)
    }
    print out line
  }
' "$lists" "$template" >"$output.tmp"
mv "$output.tmp" "$output"
