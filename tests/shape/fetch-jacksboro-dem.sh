#!/bin/sh
# Prints the path of the Jacksboro fault DEM (a 3-arc-second USGS sample that
# Debian's python-matplotlib-data ships in its sample data), fetching the
# package into DIR with apt-get download and unpacking it there with dpkg -x
# the first time. Nothing is installed. Fails with one line when the package
# cannot be fetched or holds no such file.
set -eu
dir=$1
find_dem() { find "$dir" -name jacksboro_fault_dem.npz -print -quit 2>/dev/null || true; }
dem=$(find_dem)
if [ -z "$dem" ]; then
  mkdir -p "$dir"
  if ! (cd "$dir" && apt-get download -q python-matplotlib-data > download.log 2>&1 &&
        dpkg -x python-matplotlib-data_*.deb . && rm -f python-matplotlib-data_*.deb); then
    echo "fetch-jacksboro-dem: cannot fetch python-matplotlib-data (see $dir/download.log)" >&2
    exit 1
  fi
  dem=$(find_dem)
fi
if [ -z "$dem" ]; then
  echo "fetch-jacksboro-dem: python-matplotlib-data holds no jacksboro_fault_dem.npz" >&2
  exit 1
fi
echo "$dem"
