#!/usr/bin/env bash
# Installs into a scratch prefix, then builds a C host with pkg-config and a
# CMake host with find_package(dorvik), and runs both.
set -euo pipefail
build=$1 src=$2 flags=${3:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name dorvik.pc | head -1)")/..
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name dorvik.pc | head -1)")
# shellcheck disable=SC2046
cc $flags "$src/host.c" -o "$prefix/host" $(pkg-config --cflags --libs dorvik)
LD_LIBRARY_PATH=$libdir "$prefix/host"

mkdir -p "$prefix/cmakehost"
cat > "$prefix/cmakehost/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(host C)
find_package(dorvik REQUIRED)
add_executable(host "$src/host.c")
target_link_libraries(host PRIVATE dorvik::dorvik)
CMAKE
cmake -S "$prefix/cmakehost" -B "$prefix/cmakehost/build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$prefix/cmakehost/build" >/dev/null
LD_LIBRARY_PATH=$libdir "$prefix/cmakehost/build/host"
