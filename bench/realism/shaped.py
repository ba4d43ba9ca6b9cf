#!/usr/bin/python3
"""The shaped cases of the realism table: the built-in continent, a sketch
of strokes only and the Jacksboro DEM amplified, each made into an eroded
map of SIZE cells with the recommended options and measured by measure.py
on its land: the centre half at its own grain, the whole map at 30 m; with the form kept (means of 64-cell
blocks against the shape's: r, and the share of blocks where land and sea
agree).

usage: shaped.py TOOL SIZE WORK_DIR JACKSBORO_NPZ
(the DEM's path is what tests/shape/fetch-jacksboro-dem.sh DIR prints)"""
import json
import os
import subprocess
import sys

import numpy as np
from osgeo import gdal

gdal.UseExceptions()
tool, size, work, npz = os.path.abspath(sys.argv[1]), int(sys.argv[2]), sys.argv[3], os.path.abspath(sys.argv[4])
here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(work, exist_ok=True)
os.chdir(work)
RECOMMENDED = ["--roughness", "0.62", "--sharpness", "0.25", "--erosion", "1"]
SEA = 0.01


def write(path, values, driver="GTiff"):
    kind = gdal.GDT_UInt16 if values.dtype == np.uint16 else gdal.GDT_Float32
    mem = gdal.GetDriverByName("MEM").Create("", values.shape[1], values.shape[0], 1, kind)
    mem.GetRasterBand(1).WriteArray(values)
    gdal.GetDriverByName(driver).CreateCopy(path, mem)


def strokes(side):
    """A coast, two ranges meeting at a pass, a plateau and a wide plain,
    north row first: smooth strokes only, as a user draws them."""
    y, x = np.mgrid[0:side, 0:side] / (side - 1.0)

    def stroke(a, b, width):
        t = np.clip(((x - a[0]) * (b[0] - a[0]) + (y - a[1]) * (b[1] - a[1])) /
                    ((b[0] - a[0]) ** 2 + (b[1] - a[1]) ** 2), 0, 1)
        d = np.hypot(x - (a[0] + t * (b[0] - a[0])), y - (a[1] + t * (b[1] - a[1])))
        return np.exp(-(d / width) ** 2)

    land = np.clip(1.3 - 2.0 * np.hypot(x - 0.5, (y - 0.5) * 1.2), 0, 1) ** 0.5 * 0.12
    ranges = 0.7 * stroke((0.2, 0.3), (0.55, 0.25), 0.07) + 0.6 * stroke((0.55, 0.25), (0.8, 0.45), 0.05)
    plateau = 0.3 / (1 + np.exp((np.hypot(x - 0.3, y - 0.68) - 0.1) / 0.02))
    return np.clip(land + (ranges + plateau) * (land > SEA), 0, 1)


def heights(name):
    meta = json.load(open(name + ".f32.json"))
    return np.fromfile(name + ".f32", dtype="<f4").reshape(meta["size"], meta["size"])[::-1]


def form(shape, made):
    """Means of 64-cell blocks of the map against the shape sampled there."""
    block = 64 * (size - 1) // 4096 if size > 1025 else 16
    n = (size - 1) // block
    ours = made[:n * block, :n * block].reshape(n, block, n, block).mean(axis=(1, 3))
    ys = (np.arange(n) * block + block / 2) / (size - 1) * (shape.shape[0] - 1)
    xs = (np.arange(n) * block + block / 2) / (size - 1) * (shape.shape[1] - 1)
    theirs = shape[np.round(ys).astype(int)][:, np.round(xs).astype(int)]
    r = np.corrcoef(ours.ravel(), theirs.ravel())[0, 1]
    return r, np.mean((ours > SEA) == (theirs > SEA))


cases = []
write("sketch.png", np.round(strokes(513) * 65535).astype(np.uint16), "PNG")
cases.append(("sketch", ["--shape", "sketch.png"], strokes(513)))
dem = np.load(npz)["elevation"].astype(np.float64)
side = min(dem.shape)
dem = dem[(dem.shape[0] - side) // 2:][:side, (dem.shape[1] - side) // 2:][:, :side]
write("dem.tif", dem.astype(np.float32))
cases.append(("jacksboro", ["--shape", "dem.tif", "--shape-range", "300,1100"], np.clip((dem - 300) / 800, 0, 1)))
cases.append(("continent", ["--shape", "builtin:continent"], None))
for name, options, shape in cases:
    if not os.path.exists(name + ".f32.json"):
        subprocess.run(["/usr/bin/time", "-f", name + ": %e s, %U s user, %M KB", tool, "--size", str(size), *options,
                        *RECOMMENDED, "--format", "f32", "--meta", "--out", name + ".f32"], check=True)
    if shape is not None:
        r, agree = form(shape, heights(name))
        print("%s form: block r %.3f, land and sea agree %.1f %%" % (name, r, 100 * agree))
    # The centre half at the map's own grain; the whole map at 30 m (at the
    # map's grain the pure-numpy routing of a whole 4097 map ran past 20 minutes).
    for view in (["--crop", str((size - 1) // 2 + 1)], ["--resample", "30"]):
        subprocess.run(["/usr/bin/python3", os.path.join(here, "measure.py"), name + ".f32", *view], check=True)
