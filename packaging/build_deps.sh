#!/bin/sh
# Installs, from Debian's packages, whatever of the build's and the tests' needs this
# machine lacks: the compiler and CMake with Ninja, the libraries (GNU Nettle,
# libarchive, zlib, libxml2, nlohmann-json, GoogleTest, and OpenSSL's libcrypto as the
# tests' second implementation of the digests), and the tools the tests run (cc1541
# for peer-made images, jq for the README's recipes). Extra package
# names given as arguments are installed the same way (.ci/run adds its own tools).
# Runs apt-get as root, or through sudo.
# build_deps.sh [PACKAGE...]
set -eu
packages="cmake ninja-build g++ pkg-config libssl-dev libarchive-dev zlib1g-dev
nlohmann-json3-dev libgtest-dev libxml2-dev nettle-dev cc1541 jq $*"
missing=""
for package in $packages; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
as_root=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || {
        echo "build_deps.sh: run as root (or install sudo) to install:$missing" >&2
        exit 1
    }
    as_root=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq
# shellcheck disable=SC2086 # one word per package
$as_root apt-get install -y -qq --no-install-recommends $missing >/dev/null
