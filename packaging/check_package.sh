#!/bin/sh
# Checks the Debian packages of a `package` build: lintian finds no error, the
# shared library passes check_library.sh, and the bash completion loads.
# check_package.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)

lintian --fail-on error --tag-display-limit 0 "$build"/*.deb
echo "lintian: no errors"

sh "$here/check_library.sh" "$(find "$build/diskimage" -name 'libtrakvol.so.2.*' -type f)"

completion=$here/completion/floppeek.bash
bash -n "$completion"
loaded=$(bash -c ". '$completion' && complete -p floppeek")
[ "$loaded" = "complete -F _floppeek floppeek" ] || {
    echo "bash completion not loaded: $loaded" >&2
    exit 1
}
echo "bash completion: $loaded"
