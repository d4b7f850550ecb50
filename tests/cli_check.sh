# Shared by the test scripts (sourced): the checks and the closing count.
# A script that calls check sets `cli` to the program under test.
failures=0
passes=0
nl=0a

hex() { od -An -tx1 -v | tr -d ' \n'; }
utf8hex() { printf '%s' "$1" | hex; }

pass() { passes=$((passes + 1)); }
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# check NAME 'ARGS' 'INPUT' EXPECTED_HEX STATUS [STDERR_PATTERN]: runs tessaly-cli on the input
# (printf format) and compares its output as hex bytes and its exit status; standard error must
# match the pattern, or be empty when none is given.
check() {
  local name=$1 args=$2 input=$3 expected=$4 status=$5 pattern=${6:-}
  local out err code
  err=$(mktemp)
  # shellcheck disable=SC2086
  out=$(printf "$input" | "$cli" $args 2>"$err" | hex; exit "${PIPESTATUS[1]}")
  code=$?
  if [ "$out" != "$expected" ] || [ "$code" != "$status" ] ||
     { [ -n "$pattern" ] && ! grep -q -- "$pattern" "$err"; } ||
     { [ -z "$pattern" ] && [ -s "$err" ]; }; then
    fail "$name: status $code (want $status), out $out (want $expected)"
    sed 's/^/  stderr: /' "$err"
  else
    pass
  fi
  rm -f "$err"
}

# finish: prints the count and fails the script when any check failed.
finish() {
  echo "$(basename "$0" .sh): $passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
