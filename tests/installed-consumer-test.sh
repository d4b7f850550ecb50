#!/usr/bin/env bash
# Installs the built library into a fresh prefix, checks what the shared object exports, then
# builds examples/convert.cpp against that prefix through CMake and through pkg-config and runs it.
set -u
build=${1:?usage: installed-consumer-test.sh BUILD_DIR EXAMPLES_DIR LIBDIR VERSION CXX [FLAGS]}
examples=${2:?} libdir=${3:?} version=${4:?} cxx=${5:?}
# Under the sanitizers the library needs their runtimes, and so the program gets the same flags.
flags="-Wall -Wextra -Wpedantic -Werror ${6:-}"
# shellcheck source=tests/cli_check.sh disable=SC1091
. "$(dirname "$0")/cli_check.sh"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
log=$tmp/log

# run NAME COMMAND...: runs a step, shows its output only when it fails.
run() {
  local name=$1
  shift
  if "$@" >"$log" 2>&1; then
    pass
    return 0
  fi
  fail "$name: $*"
  sed 's/^/  /' "$log"
  return 1
}

if ! run install-library cmake --install "$build" --prefix "$prefix" --component Library ||
   ! run install-development cmake --install "$build" --prefix "$prefix" --component Development
then
  finish
  exit
fi

lib=$prefix/$libdir/libtessaly.so.1
soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
if [ "$soname" = libtessaly.so.1 ]; then pass; else fail "soname: '$soname' (want libtessaly.so.1)"; fi

# Every exported name is the public API's: a name in namespace tessaly (outside tessaly::detail),
# or the type information or virtual table of one of its classes.
nm -DC --defined-only "$lib" | cut -d' ' -f3- >"$tmp/exports"
grep -Ev '^((typeinfo|typeinfo name|vtable) for )?tessaly::' "$tmp/exports" >"$tmp/foreign"
grep -E '^((typeinfo|typeinfo name|vtable) for )?tessaly::detail::' "$tmp/exports" >>"$tmp/foreign"
if [ -s "$tmp/foreign" ]; then
  fail "exports outside the public API:"
  sed 's/^/  /' "$tmp/foreign"
else
  pass
fi
# ... and the public API is there.
for name in 'tessaly::Converter::Converter(tessaly::Options const&)' 'typeinfo for tessaly::Error'; do
  if grep -qxF "$name" "$tmp/exports"; then pass; else fail "$name is not exported"; fi
done

# expect NAME PROGRAM: the program's output is the example's, from the installed library.
expect() {
  local name=$1 program=$2 out
  out=$(LD_LIBRARY_PATH=$prefix/$libdir "$program" 2>&1)
  local want
  want=$(printf 'libtessaly %s\ns2t: 漢字\nhex-encode: 4142' "$version")
  if [ "$out" = "$want" ]; then
    pass
  else
    fail "$name: output differs"
    diff <(echo "$want") <(echo "$out") | sed 's/^/  /'
  fi
}

if run cmake-configure cmake -S "$examples" -B "$tmp/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
       -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags"; then
  found=$(sed -n 's/^Tessaly_DIR:PATH=//p' "$tmp/cmake/CMakeCache.txt")
  if [ "$found" = "$prefix/$libdir/cmake/Tessaly" ]; then
    pass
  else
    fail "cmake found Tessaly in '$found', not in the fresh install"
  fi
  if run cmake-build cmake --build "$tmp/cmake"; then
    expect cmake-convert "$tmp/cmake/convert"
  fi
fi

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
# The .pc file names the prefix installed into, not the one the build was configured with.
pc_libdir=$(pkg-config --variable=libdir tessaly)
if [ "$(realpath -m "$pc_libdir")" = "$(realpath "$prefix/$libdir")" ]; then
  pass
else
  fail "pkg-config libdir '$pc_libdir' is not $prefix/$libdir"
fi
# shellcheck disable=SC2046,SC2086
if run pkg-config-build "$cxx" -std=c++20 $flags "$examples/convert.cpp" \
       $(pkg-config --cflags --libs tessaly) -o "$tmp/convert-pkg-config"; then
  expect pkg-config-convert "$tmp/convert-pkg-config"
fi

finish
