#!/bin/sh
# Installs the Debian packages the build, the viewer and the tests need, and
# only those that are missing. Safe to run any number of times.
#
# The same names serve Debian 12 (bookworm) and 13 (trixie): unversioned
# names are used throughout, so clang and its runtime are whichever version
# the release's default clang is. A package whose name differs between the
# releases goes in the release's own list below, chosen by /etc/os-release.
set -eu

packages="
  cmake g++ make pkg-config
  libsdl1.2-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  libosmesa6-dev
  libpng-dev libopenexr-dev libtiff-dev libgeotiff-dev zlib1g-dev nlohmann-json3-dev gdal-bin libgdal-dev
  python3-numpy python3-scipy python3-gdal
  grass-core
  slurm-wlm munge
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xkb-data x11-xkb-utils xfonts-base libx11-dev libxtst-dev
  clang libclang-rt-dev
  dpkg-dev file man-db groff-base python3 bash-completion
"

release=unknown
if [ -r /etc/os-release ]; then
  release=$(. /etc/os-release && echo "${ID:-}-${VERSION_CODENAME:-${VERSION_ID:-}}")
fi
case "$release" in
  debian-bookworm | debian-trixie) ;;
  *) echo "install-deps: tested on Debian 12 and 13 only; trying their package names on '$release'." >&2 ;;
esac

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  exit 0
fi

echo "Installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
