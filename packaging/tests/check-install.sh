#!/bin/bash
# cmake --install with --prefix and DESTDIR puts exactly the documented files
# under DESTDIR/prefix, and the installed tool runs from there.
# Usage: check-install.sh BUILD_DIR
set -eu
build=$1
stage=$(mktemp -d /tmp/orvandel-install.XXXXXX)
trap 'rm -rf "$stage"' EXIT

DESTDIR=$stage cmake --install "$build" --prefix /opt/orvandel >/dev/null
expected="/opt/orvandel/bin/orvandel
/opt/orvandel/bin/orvandel-heightmap
/opt/orvandel/share/bash-completion/completions/orvandel
/opt/orvandel/share/bash-completion/completions/orvandel-heightmap
/opt/orvandel/share/man/man1/orvandel-heightmap.1.gz
/opt/orvandel/share/man/man1/orvandel.1.gz
/opt/orvandel/share/orvandel/font.tga"
installed=$(cd "$stage" && find . -type f | sed 's/^\.//' | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
    printf 'installed:\n%s\nexpected:\n%s\n' "$installed" "$expected"
    exit 1
fi
gzip -t "$stage"/opt/orvandel/share/man/man1/*.gz
cd "$stage" && "$stage/opt/orvandel/bin/orvandel-heightmap" --size 33 --out map.pgm
[ "$(head -c 2 map.pgm)" = P5 ]
