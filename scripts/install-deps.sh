#!/bin/sh
# Installs the Debian packages the build, the viewer and the tests need, and
# only those that are missing. Safe to run any number of times.
set -eu

packages="
  cmake g++ make pkg-config
  libsdl1.2-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  libosmesa6-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xkb-data x11-xkb-utils xfonts-base libx11-dev libxtst-dev zlib1g-dev
  clang libclang-rt-14-dev
"

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
