# bash completion for tessaly-cli                              -*- shell-script -*-
# The mode list follows the engine's mode table; tests/completion-test.sh checks it against --help.

_tessaly_cli() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
  local modes='hex-encode hex-decode utf16-encode utf16-decode random s2t t2s gbk-to-big5
    big5-to-gbk char-array utf8-encode utf8-decode format s2tw s2twp s2hk tw2s tw2sp hk2s t2tw
    tw2t t2hk hk2t t2jp jp2t'
  local options='-h --help -V --version -m --mode -s --separator -d --delete -e --encoding
    --newlines --raw --strict --seed --phrases -o --output'

  case $prev in
    -m | --mode)
      mapfile -t COMPREPLY < <(compgen -W "$modes" -- "$cur")
      return
      ;;
    -s | --separator)
      mapfile -t COMPREPLY < <(compgen -W 'none space comma dot 0x' -- "$cur")
      return
      ;;
    -d | --delete)
      # A comma-separated list: complete the class after the last comma.
      local done=${cur%"${cur##*,}"}
      mapfile -t COMPREPLY < <(compgen -P "$done" \
        -W 'all none spaces dots commas tabs newlines' -- "${cur##*,}")
      compopt -o nospace 2>/dev/null
      return
      ;;
    -e | --encoding)
      mapfile -t COMPREPLY < <(compgen -W 'gbk gb18030 big5 utf-8 shift_jis euc-kr' -- "$cur")
      return
      ;;
    --newlines)
      mapfile -t COMPREPLY < <(compgen -W 'as-is crlf' -- "$cur")
      return
      ;;
    --seed)
      return
      ;;
    -o | --output | --phrases)
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      compopt -o filenames 2>/dev/null
      return
      ;;
  esac

  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    compopt -o filenames 2>/dev/null
  fi
}
complete -F _tessaly_cli tessaly-cli
