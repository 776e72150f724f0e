#!/bin/sh
# Checks the Debian packages of a `package` build: lintian finds no error, the
# shared library passes check_library.sh, the packaged program runs on that library
# (it NEEDs libtrakvol.so.2 and carries no d64_ function of its own), and the bash
# completion loads.
# check_package.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)

lintian --fail-on error --tag-display-limit 0 "$build"/*.deb
echo "lintian: no errors"

sh "$here/check_library.sh" "$(find "$build/trakvol" -name 'libtrakvol.so.2.*' -type f)"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$(ls "$build"/floppeek_*.deb)" "$unpacked"
program=$unpacked/usr/bin/floppeek
if ! readelf -d "$program" | grep -q 'NEEDED.*\[libtrakvol\.so\.2\]'; then
    echo "the packaged floppeek does not NEED libtrakvol.so.2" >&2
    exit 1
fi
# Symbols the program defines, its dynamic and (unless stripped) its own.
own=$( (nm --defined-only "$program" 2>/dev/null; nm -D --defined-only "$program") |
    awk '$3 ~ /^d64_/ { print $3 }' | sort -u)
if [ -n "$own" ]; then
    echo "the packaged floppeek defines d64_ functions itself:" >&2
    echo "$own" >&2
    exit 1
fi
echo "floppeek: NEEDs libtrakvol.so.2, defines no d64_ function"

completion=$here/completion/floppeek.bash
bash -n "$completion"
loaded=$(bash -c ". '$completion' && complete -p floppeek")
[ "$loaded" = "complete -F _floppeek floppeek" ] || {
    echo "bash completion not loaded: $loaded" >&2
    exit 1
}
echo "bash completion: $loaded"
