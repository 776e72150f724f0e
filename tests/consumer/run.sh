#!/bin/sh
# Installs the build into a scratch prefix, then builds the consumer program through
# find_package(trakvol) and through pkg-config, each with the shared and with the
# static library, and checks that every build lists the image as floppeek does.
# run.sh BUILD_DIR CONSUMER_SOURCE_DIR FLOPPEEK IMAGE
set -eu
build=$1 source=$2 floppeek=$3 image=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
"$floppeek" "$image" >"$work/expected" 2>/dev/null

cmake -S "$source" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/list_directory" "$image" >"$work/by_cmake"
cmp "$work/expected" "$work/by_cmake"
"$work/cmake/list_directory_static" "$image" >"$work/by_cmake_static"
cmp "$work/expected" "$work/by_cmake_static"

PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name trakvol.pc)")
export PKG_CONFIG_PATH
# shellcheck disable=SC2046 # the flags are meant to split into words
cc -std=c99 -Wall -Wextra -Wpedantic -Werror "$source/list_directory.c" -o "$work/by_pkgconfig" \
    $(pkg-config --cflags --libs trakvol)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir trakvol) "$work/by_pkgconfig" "$image" \
    >"$work/by_pkgconfig.out"
cmp "$work/expected" "$work/by_pkgconfig.out"
# The static library, with what `pkg-config --static` says it needs besides.
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Wpedantic -Werror "$source/list_directory.c" \
    -o "$work/by_pkgconfig_static" $(pkg-config --cflags trakvol) \
    -Wl,-Bstatic $(pkg-config --libs-only-L trakvol) -ltrakvol -Wl,-Bdynamic \
    $(pkg-config --static --libs-only-l trakvol | sed 's/-ltrakvol//')
"$work/by_pkgconfig_static" "$image" >"$work/by_pkgconfig_static.out"
cmp "$work/expected" "$work/by_pkgconfig_static.out"
echo "consumers built through find_package and pkg-config, shared and static, list the image as floppeek does"
