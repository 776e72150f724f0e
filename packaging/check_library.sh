#!/bin/sh
# Checks the shared library of a build: its SONAME, that it exports the d64_
# functions and nothing else, and that its ABI keeps the one recorded in
# packaging/abi (abidiff: a change fails, added functions are reported and recorded
# with the release that adds them).
# check_library.sh LIBRARY (an unstripped libtrakvol.so.2.x.y)
set -eu
library=$1
here=$(cd "$(dirname "$0")" && pwd)

soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
if [ "$soname" != "libtrakvol.so.2" ]; then
    echo "SONAME is \"$soname\", not libtrakvol.so.2" >&2
    exit 1
fi
# Defined dynamic symbols but the version node TRAKVOL_2 itself.
others=$(readelf --dyn-syms -W "$library" |
    awk 'NR > 3 && $7 != "UND" && $8 != "" { sub(/@.*/, "", $8); print $8 }' |
    grep -v '^d64_' | grep -v '^TRAKVOL_2$' || true)
if [ -n "$others" ]; then
    echo "exported besides the d64_ functions:" >&2
    echo "$others" >&2
    exit 1
fi
echo "SONAME libtrakvol.so.2; only d64_ functions exported"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
abidw --no-corpus-path --no-comp-dir-path --short-locs --out-file "$work/current.abi" "$library"
# Anything but added functions fails: a change callers would break on. A field added
# at the end of the handle (which the library allocates) breaks none, but shows
# here too: the release that adds it records the new ABI in the same commit.
status=0
abidiff --no-added-syms "$here/abi/libtrakvol.so.2.abi" "$work/current.abi" \
    >"$work/report" || status=$?
if [ "$status" -ne 0 ]; then
    cat "$work/report" >&2
    echo "the ABI of libtrakvol.so.2 changed incompatibly (abidiff status $status)" >&2
    exit 1
fi
status=0
abidiff "$here/abi/libtrakvol.so.2.abi" "$work/current.abi" >"$work/report" || status=$?
if [ "$status" -ne 0 ]; then
    cat "$work/report"
    echo "the ABI grew compatibly: record it with the release (packaging/abi)"
else
    echo "the ABI is the recorded one"
fi
