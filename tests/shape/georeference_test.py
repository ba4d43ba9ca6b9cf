#!/usr/bin/python3
"""A georeferenced shape's outputs lie where the shape lies, read back
through GDAL (no code shared with the tool): the coordinate system kept, the
first and last samples at the shape's, the relief from a metre DEM's range,
tiles' VRT in the same frame as the one-file map; the refusals of frames
that cannot be followed; given options winning.

usage: georeference_test.py TOOL SCRATCH_DIR"""
import json
import os
import shutil
import subprocess
import sys

import numpy as np
from osgeo import gdal, osr

gdal.UseExceptions()
TOOL, SCRATCH = sys.argv[1], sys.argv[2]
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
os.chdir(SCRATCH)


def run(*args, status=0):
    done = subprocess.run([TOOL, *args], capture_output=True, text=True)
    assert done.returncode == status, (args, done.returncode, done.stderr)
    return done.stderr


def dem(path, epsg, transform, width=300, height=257, dtype=gdal.GDT_Float32):
    """A hill of 400 to 700 m, north row first."""
    y, x = np.mgrid[0:height, 0:width]
    z = 400 + 300 * np.exp(-((x - width / 2) ** 2 + (y - height / 2) ** 2) / 3000.0)
    ds = gdal.GetDriverByName("GTiff").Create(path, width, height, 1, dtype)
    ds.SetGeoTransform(transform)
    if epsg:
        srs = osr.SpatialReference()
        srs.ImportFromEPSG(epsg)
        ds.SetProjection(srs.ExportToWkt())
    ds.GetRasterBand(1).WriteArray(z)
    ds = None
    return z.astype(np.float32)


def same_system(path, epsg):
    want = osr.SpatialReference()
    want.ImportFromEPSG(epsg)
    want.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    got = gdal.Open(path).GetSpatialRef()
    return got is not None and got.IsSame(want)


def sample_centres(path):
    """The first (north-west) and last (south-east) samples' centres."""
    ds = gdal.Open(path)
    gt = ds.GetGeoTransform()
    w, h = ds.RasterXSize, ds.RasterYSize
    return ((gt[0] + 0.5 * gt[1], gt[3] + 0.5 * gt[5]),
            (gt[0] + (w - 0.5) * gt[1], gt[3] + (h - 0.5) * gt[5]))


def meta(path):
    return json.load(open(path + ".json"))


# A UTM DEM, 300 x 257 samples of 30 m: the tool reads its centred 257 square.
UTM = (500000.0, 30.0, 0.0, 4600000.0, 0.0, -30.0)
x0 = (300 - 257) // 2
highest = float(dem("utm.tif", 32633, UTM)[:, x0:x0 + 257].max())
square = ((UTM[0] + (x0 + 0.5) * 30, UTM[3] - 0.5 * 30),
          (UTM[0] + (x0 + 256.5) * 30, UTM[3] - 256.5 * 30))

# One file, amplified 4x: the same system, the same corner samples, the
# DEM's own metres (its highest ground at height 1).
run("--shape", "utm.tif", "--size", "1025", "--format", "tif32", "--meta", "--out", "one.tif")
assert same_system("one.tif", 32633)
assert np.allclose(sample_centres("one.tif"), square, rtol=0, atol=1e-6), (sample_centres("one.tif"), square)
m = meta("one.tif")
assert m["relief_m"] == highest and m["extent_m"] == 256 * 30.0 and m["cell_size_m"] == 7.5, m
assert m["crs_epsg"] == 32633 and m["origin_x_m"] == square[0][0] and m["origin_y_m"] == square[1][1], m
top = gdal.Open("one.tif").ReadAsArray().max()
assert 0.9 < top <= 1.0, top

# Tiles: the VRT in the same frame as the one-file map of the same size,
# every tile in it, and each tile's own placement inside.
os.makedirs("set")
run("--shape", "utm.tif", "--size", "1025", "--tile-size", "513", "--layout", "gis", "--format", "tif32",
    "--out", "set/w")
vrt = [f for f in os.listdir("set") if f.endswith(".vrt")][0]
assert same_system("set/" + vrt, 32633)
assert gdal.Open("set/" + vrt).GetGeoTransform() == gdal.Open("one.tif").GetGeoTransform()
tiles = [f for f in os.listdir("set") if f.endswith(".tif")]
assert len(tiles) == 4
for tile in tiles:
    assert same_system("set/" + tile, 32633), tile
    (west, north), (east, south) = sample_centres("set/" + tile)
    assert square[0][0] <= west < east <= square[1][0] and square[1][1] <= south < north <= square[0][1], tile

# Degrees: the system kept, the geotransform in degrees, the extent in metres
# at the centre latitude (45 N: about 78.8 km east-west and 111.1 km
# north-south a degree; the square of the same area, 93.6 km).
dem("geo.tif", 4326, (10.0, 1 / 256, 0.0, 45.5, 0.0, -1 / 256), width=257)
run("--shape", "geo.tif", "--size", "513", "--format", "tif32", "--meta", "--out", "geo_out.tif")
assert same_system("geo_out.tif", 4326)
(west, north), (east, south) = sample_centres("geo_out.tif")
assert abs(west - (10 + 0.5 / 256)) < 1e-12 and abs(east - (10 + 256.5 / 256)) < 1e-12, (west, east)
extent = meta("geo_out.tif")["extent_m"]
assert abs(extent - 256 / 256 * 93_600) < 600, extent
assert meta("geo_out.tif")["origin_x_m"] == 0

# Frames that cannot be followed are refused, nothing written, unless
# --extent places the map; given options win, and the map is then in its own
# metres with no system.
dem("rotated.tif", 32633, (500000.0, 30.0, 1.0, 4600000.0, 0.0, -30.0))
dem("oblong.tif", 32633, (500000.0, 30.0, 0.0, 4600000.0, 0.0, -20.0))
dem("local.tif", 0, UTM)  # a geotransform but no system: as any other shape
for shape, status, extra in [("rotated.tif", 2, []), ("oblong.tif", 2, []),
                             ("rotated.tif", 0, ["--extent", "5000"]),
                             ("utm.tif", 0, ["--origin", "10,20"]), ("local.tif", 0, [])]:
    out = "refused.tif"
    message = run("--shape", shape, "--size", "257", "--format", "tif32", "--meta", "--out", out, *extra,
                  status=status)
    if status:
        assert message.count("\n") == 1 and shape in message and "--extent" in message, message
        assert not os.path.exists(out) and not os.path.exists(out + ".json")
        continue
    m = meta(out)
    srs = gdal.Open(out).GetSpatialRef()  # an unnamed local frame, as for any shape
    assert "crs" not in m and (srs is None or srs.IsLocal()), (shape, extra)
    assert m["extent_m"] == (5000 if extra[:1] == ["--extent"] else 10000 if shape == "local.tif" else 7680), m
    os.remove(out)
    os.remove(out + ".json")
print("georeference: all cases passed")
