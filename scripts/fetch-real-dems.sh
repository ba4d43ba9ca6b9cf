#!/bin/sh
# Gets real DEMs from Debian's packages, offline from any other source:
# apt-get download + dpkg -x into a temporary directory (nothing is
# installed), then bench/realism/convert_real.py writes each as NAME.npy
# (float32) and NAME.json (cell size in metres) into DIR. A package that
# cannot be had is skipped with one line saying so.
#
# Usage: scripts/fetch-real-dems.sh DIR
set -eu
if [ $# -ne 1 ]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
out=$1
here=$(cd "$(dirname "$0")/.." && pwd)
python=${PYTHON:-/usr/bin/python3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out" "$tmp/root"
chmod 755 "$tmp"  # apt's _apt user writes the download here

for p in python-matplotlib-data r-cran-stars r-cran-spatstat.data r-base-core ferret-datasets; do
  if (cd "$tmp" && apt-get download -qq "$p" >/dev/null 2>&1); then
    dpkg -x "$tmp"/"$p"_*.deb "$tmp/root"
  else
    echo "skipped package $p: apt-get download failed (run apt-get update?)"
  fi
done
"$python" "$here/bench/realism/convert_real.py" "$tmp/root" "$out"
