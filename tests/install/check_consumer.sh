#!/usr/bin/env bash
# Installs the build into a prefix inside it and builds a program against the installed library
# four ways: with find_package and with pkg-config, each linking the shared and the static
# library. Each run converts a file in memory into every format and must give the bytes the
# console program writes for it.
#   check_consumer.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1 source=$2
work=$build/tests/install/consumers
rm -rf "$work" && mkdir -p "$work/expected"
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
pc=$(find "$prefix" -name tarvex.pc)
libdir=$(dirname "$(dirname "$pc")")

input=$source/examples/scene.3dmf
tarvex=$build/console/tarvex
"$tarvex" "$input" "$work/expected/default.wrl" 2>/dev/null
"$tarvex" --full "$input" "$work/expected/full.wrl" 2>/dev/null
for format in x3d gltf glb; do "$tarvex" "$input" "$work/expected/scene.$format" 2>/dev/null; done

# run NAME PROGRAM: the program's outputs against the console program's.
run() {
  mkdir -p "$work/$1.out"
  "$2" "$input" "$work/$1.out" || { fail "$1 failed"; return; }
  for file in default.wrl full.wrl scene.x3d scene.gltf scene.glb; do
    cmp -s "$work/expected/$file" "$work/$1.out/$file" || fail "$1 writes another $file"
  done
  # Only the shared builds load the library.
  needs=$(readelf -d "$2" | grep -c 'NEEDED.*libtarvex\.so\.')
  [ "$needs" = "$([[ $1 == *shared ]] && echo 1 || echo 0)" ] || fail "$1 links libtarvex.so $needs times"
}

for kind in shared static; do
  static=OFF; [ "$kind" = static ] && static=ON
  if cmake -S "$source/tests/install/consumer" -B "$work/cmake-$kind" -DCMAKE_PREFIX_PATH="$prefix" \
    -DTARVEX_STATIC=$static -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$work/cmake-$kind" >/dev/null; then
    run "cmake-$kind" "$work/cmake-$kind/consumer"
  else fail "find_package(tarvex) with the $kind library"; fi
done

export PKG_CONFIG_PATH=$libdir/pkgconfig
flags=(-std=c++17 -Wall -Wextra -Wpedantic -Werror "$source/tests/install/consumer/consumer.cpp")
# shellcheck disable=SC2046
c++ "${flags[@]}" $(pkg-config --cflags --libs tarvex) -Wl,-rpath,"$libdir" \
  -o "$work/pkg-config-shared" && run pkg-config-shared "$work/pkg-config-shared" ||
  fail "pkg-config tarvex with the shared library"
# The static library, with the libraries pkg-config --static adds for it (linked as the system
# has them).
static_libs=$(pkg-config --static --libs tarvex | sed 's/-ltarvex\b/-Wl,-Bstatic -ltarvex -Wl,-Bdynamic/')
# shellcheck disable=SC2046,SC2086
c++ "${flags[@]}" $(pkg-config --cflags tarvex) $static_libs -o "$work/pkg-config-static" &&
  run pkg-config-static "$work/pkg-config-static" ||
  fail "pkg-config --static tarvex with the static library"

[ "$failures" -eq 0 ] && echo "the installed library builds and converts four ways"
exit $((failures > 0))
