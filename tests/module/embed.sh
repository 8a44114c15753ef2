#!/usr/bin/env bash
# Installs the library into a staging folder, builds the embedding example against it twice (through
# find_package and through pkg-config) and runs both builds.
set -eu
build="$1" example="$2" compiler="$3" flags="${4:-}"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build" --prefix "$stage/prefix" > "$stage/install.log"

cmake -S "$example" -B "$stage/cmake" -DCMAKE_PREFIX_PATH="$stage/prefix" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_BUILD_TYPE=Release > "$stage/configure.log"
cmake --build "$stage/cmake" > "$stage/build.log"
"$stage/cmake/embed"

export PKG_CONFIG_PATH="$stage/prefix/lib/pkgconfig"
libdir=$(pkg-config --variable=libdir strandscript)
# shellcheck disable=SC2046,SC2086
"$compiler" $flags -o "$stage/embed-pc" "$example/main.cpp" $(pkg-config --cflags --libs strandscript) \
    -Wl,-rpath,"$libdir"
"$stage/embed-pc" > /dev/null
echo "embedding example passed (CMake package and pkg-config)"
