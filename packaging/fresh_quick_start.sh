#!/bin/sh
# Runs the two commands of the README's Quick start, as the README writes them, in
# the project's source on a fresh Debian 12 (mmdebstrap, variant apt: nothing but
# the base system): the first must install what the build needs, build, and print
# the sample's wide listing; the second must build and pass every test. Needs root
# and Debian's package registry.
# fresh_quick_start.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/.." && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

# The project's files as a checkout has them, without any build.
mkdir "$root/src"
(cd "$source" && git ls-files --cached --others --exclude-standard -z |
    tar --null --files-from=- --ignore-failed-read -cf - 2>/dev/null) | tar -xf - -C "$root/src"

# The Quick start block: the two lines between "```sh" and "```" after its heading.
sed -n '/^## Quick start/,/^## /p' "$source/README.md" |
    sed -n '/^```sh$/,/^```$/p' | sed '1d;$d' >"$root/commands"
[ "$(wc -l <"$root/commands")" -eq 2 ] || {
    echo "the README's Quick start does not hold exactly two commands" >&2
    exit 1
}

cat >"$root/inside.sh" <<'INSIDE'
set -eu
cd /src
first=$(sed -n 1p /commands)
second=$(sed -n 2p /commands)
echo "fresh Debian 12: $first"
sh -c "$first" >/listing
cat /listing
grep -q '^Disk name  *Disk id  *Free blocks$' /listing
echo "fresh Debian 12: $second"
sh -c "$second" >/tests.log 2>&1 || { tail -n 60 /tests.log; exit 1; }
tail -n 3 /tests.log
echo "fresh Debian 12: the README's Quick start installs, builds, lists the sample and passes every test"
INSIDE

# The hooks run on this system with the new one's root folder as $1.
mmdebstrap --quiet --variant=apt \
    --customize-hook="cp -r '$root/src' \"\$1/src\"" \
    --customize-hook="cp '$root/commands' '$root/inside.sh' \"\$1/\"" \
    --customize-hook='chroot "$1" sh /inside.sh' \
    bookworm "$root/system"
