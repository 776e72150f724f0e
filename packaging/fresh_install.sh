#!/bin/sh
# Installs the three Debian packages on a fresh Debian 12 (mmdebstrap, variant apt)
# and checks there, as a new user would, that apt pulls in what they need, that
# floppeek runs, and that a C program builds against libtrakvol-dev through
# pkg-config and through find_package(trakvol CONFIG) and lists the sample as
# floppeek does. Needs root and Debian's package registry.
# fresh_install.sh BUILD_DIR SAMPLE_IMAGE CONSUMER_SOURCE_DIR
set -eu
build=$1 sample=$2 consumer=$3
root=$(mktemp -d)
trap 'rm -rf "$root" "$root.inside"' EXIT

cat >"$root.inside" <<'INSIDE'
set -eu
cd /check
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q ./*.deb >/dev/null
floppeek --version
floppeek -w sample.d64 >listing
cat listing
apt-get install -y -q gcc g++ cmake make pkg-config >/dev/null
cc -std=c99 -Wall -Werror list_directory.c -o by_pkgconfig $(pkg-config --cflags --libs trakvol)
./by_pkgconfig sample.d64 >by_pkgconfig.out
floppeek sample.d64 >expected 2>/dev/null
cmp expected by_pkgconfig.out
cmake -S . -B by_cmake >/dev/null
cmake --build by_cmake >/dev/null
./by_cmake/list_directory sample.d64 | cmp expected -
./by_cmake/list_directory_static sample.d64 | cmp expected -
echo "fresh Debian 12: packages installed, floppeek runs, the C consumer builds through pkg-config and find_package"
INSIDE

mkdir "$root/check"
cp "$build"/floppeek_*.deb "$build"/libtrakvol2_*.deb "$build"/libtrakvol-dev_*.deb "$sample" \
    "$consumer/list_directory.c" "$consumer/CMakeLists.txt" "$root/check/"
cp "$root.inside" "$root/check/inside.sh"
# The hooks run on this system with the new one's root folder as $1.
mmdebstrap --quiet --variant=apt \
    --customize-hook="cp -r '$root/check' \"\$1/check\"" \
    --customize-hook='chroot "$1" sh /check/inside.sh' \
    bookworm "$root/system"
