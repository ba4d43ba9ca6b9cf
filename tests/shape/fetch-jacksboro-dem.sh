#!/bin/sh
# Prints the path of the Jacksboro fault DEM (a 3-arc-second USGS sample that
# Debian's python-matplotlib-data ships), fetching the package into DIR with
# apt-get download and unpacking it there with dpkg -x when it is not there
# yet. Nothing is installed.
set -eu
dir=$1
dem=$dir/usr/share/matplotlib/mpl-data/sample_data/jacksboro_fault_dem.npz
if [ ! -f "$dem" ]; then
  mkdir -p "$dir"
  (cd "$dir" && apt-get download -q python-matplotlib-data > /dev/null 2>&1 &&
   dpkg -x python-matplotlib-data_*.deb . && rm -f python-matplotlib-data_*.deb)
fi
echo "$dem"
