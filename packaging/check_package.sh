#!/bin/sh
# Checks the Debian packages of a `package` build: lintian finds no error, the
# shared library passes check_library.sh, the packaged program runs on that library
# (it NEEDs libtrakvol.so.2 and carries no d64_ function of its own), every library
# it loads on demand is a dependency, and the bash completion loads.
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

# Every library the program can load by its SONAME at run time (dlopen(), no NEEDED
# entry) comes from a package the floppeek package depends on.
depends=$(dpkg-deb -f "$(ls "$build"/floppeek_*.deb)" Depends)
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
loaded=$(strings "$program" | grep -E '^lib[A-Za-z0-9_+.-]+\.so\.[0-9]+$' | sort -u |
    grep -vxF "$needed")
[ -n "$loaded" ] || { echo "the program names no library it loads" >&2; exit 1; }
for soname in $loaded; do
    package=$(dpkg -S "*/$soname" 2>/dev/null | head -n 1 | cut -d: -f1)
    case ", $depends," in
    *", $package"[\ ,]*) echo "loads $soname: $package is a dependency" ;;
    *)
        echo "floppeek loads $soname (package ${package:-unknown}), not among its dependencies: $depends" >&2
        exit 1
        ;;
    esac
done

completion=$here/completion/floppeek.bash
bash -n "$completion"
loaded=$(bash -c ". '$completion' && complete -p floppeek")
[ "$loaded" = "complete -F _floppeek floppeek" ] || {
    echo "bash completion not loaded: $loaded" >&2
    exit 1
}
echo "bash completion: $loaded"
