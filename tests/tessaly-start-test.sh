#!/usr/bin/env bash
# Starting the window from a shell: --help and --version print without a window, a missing
# display is one line and status 1, and the huge-page restart keeps the process's name.
set -u
bin=${1:?usage: tessaly-start-test.sh path/to/tessaly}
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
err=$(mktemp)
trap 'rm -f "$err"' EXIT

out=$("${no_display[@]}" "$bin" --help 2>"$err")
status=$?
[ $status -eq 0 ] && grep -q -- '--version' <<<"$out" && [ ! -s "$err" ] ||
  fail "--help: status $status, output '$out', stderr '$(cat "$err")'"

for flag in --version -v -V; do
  out=$("${no_display[@]}" "$bin" $flag 2>"$err")
  status=$?
  [ $status -eq 0 ] && grep -qx 'tessaly [0-9][0-9.]*' <<<"$out" &&
    grep -qx 'Licence: Apache-2.0' <<<"$out" && [ ! -s "$err" ] ||
    fail "$flag: status $status, output '$out', stderr '$(cat "$err")'"
done

for args in '' '-reverse'; do
  # shellcheck disable=SC2086
  out=$("${no_display[@]}" "$bin" $args 2>"$err")
  status=$?
  [ $status -eq 1 ] && [ -z "$out" ] &&
    [ "$(cat "$err")" = 'tessaly: cannot open a display; set DISPLAY or WAYLAND_DISPLAY, or run tessaly-cli' ] ||
    fail "no display, args '$args': status $status, output '$out', stderr '$(cat "$err")'"
done

# The restart happens only where huge pages are given on request; it keeps the process id.
env -u GLIBC_TUNABLES QT_QPA_PLATFORM=offscreen "$bin" >/dev/null 2>&1 &
pid=$!
restart=no
grep -q '\[madvise\]' /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null && restart=yes
for _ in $(seq 50); do
  sleep 0.1
  if [ $restart = no ] || tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -q '^GLIBC_TUNABLES='; then
    break
  fi
done
name=$(cat "/proc/$pid/comm" 2>/dev/null)
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ "$name" = tessaly ] || fail "running window (restart: $restart) is named '$name'"

echo "restart: $restart; $failures failure(s)"
[ "$failures" -eq 0 ]
