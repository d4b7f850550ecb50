#!/usr/bin/env bash
# The shell completions offer what tessaly-cli takes: bash's, zsh's and fish's mode candidates are
# exactly the modes `--help` lists, and bash completes each option's values from a prefix.
set -u
cli=${1:?usage: completion-test.sh path/to/tessaly-cli path/to/completions}
completions=${2:?usage: completion-test.sh path/to/tessaly-cli path/to/completions}
script=$completions/tessaly-cli.bash
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# shellcheck source=/dev/null
. "$script"

# complete WORDS...: the candidates for the last word, sorted, one line, as bash would offer them.
complete_words() {
  COMP_WORDS=(tessaly-cli "$@")
  COMP_CWORD=$#
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _tessaly_cli tessaly-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

# expect NAME 'EXPECTED' WORDS...
expect() {
  local name=$1 expected=$2 got
  shift 2
  got=$(complete_words "$@")
  [ "$got" = "$expected" ] || fail "$name: got '$got', want '$expected'"
}

help_modes=$("$cli" --help | sed -n '/^Modes:/,/^$/{/^  [a-z]/s/^  \([^ ]*\).*/\1/p}' | sort | paste -sd ' ')
[ -n "$help_modes" ] || fail "no modes found in --help"
expect all-modes "$help_modes" -m ''
expect all-modes-long "$help_modes" --mode ''
expect modes-from-prefix 'hex-decode hex-encode hk2s hk2sp hk2t' -m h
expect modes-from-longer-prefix 'hex-decode hex-encode' -m hex
expect separators '0x comma dot none space' -s ''
expect deletions 'all commas dots newlines none spaces tabs' -d ''
expect deletion-after-comma 'spaces,tabs' -d spaces,t
expect encodings 'big5 euc-kr gb18030 gbk shift_jis utf-8' -e ''
expect newlines 'as-is crlf' --newlines ''
expect long-options '--newlines' --new

# zsh's `modes` array holds 'name:description' lines; fish's mode function prints name and
# description, one printf a mode.
zsh_modes=$(sed -n "/^modes=(/,/^)/s/^  '\([^:']*\):.*/\1/p" "$completions/_tessaly-cli" |
  sort | paste -sd ' ')
[ "$zsh_modes" = "$help_modes" ] || fail "zsh modes: got '$zsh_modes', want '$help_modes'"
fish_modes=$(sed -n "s/^  printf '[^']*' '\([^']*\)' .*/\1/p" "$completions/tessaly-cli.fish" |
  sort | paste -sd ' ')
[ "$fish_modes" = "$help_modes" ] || fail "fish modes: got '$fish_modes', want '$help_modes'"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/book.txt" "$dir/bookmarks.txt"
expect input-file "$dir/book.txt $dir/bookmarks.txt" "$dir/boo"
expect output-file "$dir/bookmarks.txt" -m s2t -o "$dir/bookm"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
