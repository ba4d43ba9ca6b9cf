#!/bin/sh
# Makes the Debian package from a build directory (default build/, already
# built), installs it with apt, checks it as a user meets it and removes it
# again. Needs root (apt); run by scripts/test.sh, so CI checks the package
# on Debian 12 and, in scripts/test-debian13.sh's fresh root, on Debian 13.
#
# The checks, from an empty directory under /tmp: the tool on PATH writes a
# 16-bit PNG for map.png, OpenEXR for map.EXR, a TGA for map and for
# --format tga --out map.png (saying so in one line); the --meta JSON reads
# in Python with its keys in the documented order; man finds both pages; the
# bash completion completes options and format names; the viewer's font is
# installed.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)

say() { echo "check-package: $*"; }
fail() { echo "check-package: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
if dpkg-query -W -f='${Status}' orvandel 2>/dev/null | grep -q "install ok installed"; then
  fail "a package orvandel is installed already; remove it first (apt-get remove orvandel)"
fi

rm -f "$build"/orvandel_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { tail -n 20 "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/orvandel_*.deb)
case "$(basename "$deb")" in
  orvandel_[0-9]*.[0-9]*.[0-9]*_$(dpkg --print-architecture).deb) ;;
  *) fail "unexpected package name $deb" ;;
esac
say "made $(basename "$deb"); Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Depends | grep -q libpng || fail "Depends lacks the libraries the programs link"

work=$(mktemp -d /tmp/orvandel-package.XXXXXX)
cleanup() {
  rm -rf "$work"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq --purge orvandel >/dev/null 2>&1 || true
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
  { tail -n 20 "$work/apt.log" >&2; fail "apt-get install failed"; }

cd "$work"
[ "$(command -v orvandel-heightmap)" = /usr/bin/orvandel-heightmap ] || fail "orvandel-heightmap is not /usr/bin's"
orvandel-heightmap --size 1025 --meta --out map.png
file -b map.png | grep -q "PNG image data, 1025 x 1025, 16-bit grayscale" || fail "map.png: $(file -b map.png)"
python3 - <<'PY' || fail "map.png.json is not the documented description"
import json
with open("map.png.json") as f:
    meta = json.load(f)
keys = ["format", "width", "height", "sample_type", "byte_order", "row_order", "first_row", "value_min",
        "value_max", "value_meaning", "size", "seed", "seed_hex", "roughness", "falloff", "sharpness", "erosion",
        "cell_size_m", "extent_m", "relief_m", "origin_x_m", "origin_y_m", "unreal_scale_x", "unreal_scale_y",
        "unreal_scale_z", "unreal_location_z_cm", "unity_width_m", "unity_length_m", "unity_height_m", "version"]
assert list(meta) == keys, list(meta)
assert meta["format"] == "png16" and meta["width"] == 1025 and meta["value_max"] == 65535, meta
PY
orvandel-heightmap --size 65 --out map.EXR
file -b map.EXR | grep -q "OpenEXR" || fail "map.EXR: $(file -b map.EXR)"
orvandel-heightmap --size 65 --out map
[ "$(head -c 3 map | od -An -tu1 | tr -s ' ')" = " 0 0 2" ] || fail "map is not a TGA"
orvandel-heightmap --size 65 --format tga --out forced.png 2>note
[ "$(wc -l <note)" -eq 1 ] || fail "--format tga --out forced.png: '$(cat note)'"
cmp -s map forced.png || fail "--format tga --out forced.png did not write the TGA"

for page in orvandel orvandel-heightmap; do
  found=$(man -w "$page") || fail "man -w $page finds nothing"
  [ "$found" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page: $found"
  man "$page" 2>&1 | grep -q -- "--roughness" || fail "man $page does not show the page"
done
for name in orvandel orvandel-heightmap; do
  completion=/usr/share/bash-completion/completions/$name
  [ -f "$completion" ] || fail "no $completion"
done
# bash-completion finds the script by the command's name when it is first
# completed (its loader is _comp_load from 2.12, __load_completion before).
bash -c '. /usr/share/bash-completion/bash_completion
  for loader in _comp_load __load_completion _completion_loader; do
    if type "$loader" >/dev/null 2>&1; then "$loader" "$1"; break; fi
  done
  complete -p "$1"' loader orvandel-heightmap 2>&1 | grep -q -- "-F _orvandel_heightmap" ||
  fail "bash-completion does not load the completion for orvandel-heightmap"
bash "$repo/packaging/tests/check-completion.sh" /usr/share/bash-completion/completions/orvandel-heightmap ||
  fail "the installed completion does not complete"
[ -f /usr/share/orvandel/font.tga ] || fail "no /usr/share/orvandel/font.tga"
orvandel --help >/dev/null || fail "orvandel --help failed"
say "installed, checked from $work and removed: all passed"
