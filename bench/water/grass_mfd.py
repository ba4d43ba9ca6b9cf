#!/usr/bin/python3
"""Our flow against GRASS GIS r.watershed on the same eroded heights: the
multiple-flow area (ours `flow`, r.watershed's MFD with convergence 4,
Holmgren's exponent, as ours) and the single-flow one (`flow-d8`, r.watershed
-s), with the time r.watershed takes. The sea (heights at or below 0.01) is no-data
for GRASS, so water leaves there as it does here; the heights go in metres (the
default relief, 2000). Needs grass-core.

usage: grass_mfd.py TOOL SIZE SCRATCH_DIR"""
import os
import shutil
import subprocess
import sys
import time

import numpy as np
from osgeo import gdal
from scipy import ndimage

gdal.UseExceptions()
TOOL, N, SCRATCH = sys.argv[1], int(sys.argv[2]), sys.argv[3]
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
os.chdir(SCRATCH)
ISLAND = ["--size", str(N), "--erosion", "1", "--sharpness", "0.25", "--roughness", "0.62"]


# The heights with both flow maps; our routings' own times are the
# benchmarks' (BM_RouteMultipleFlow, BM_RouteMap), GRASS's the whole
# r.watershed run (its import and export included).
subprocess.run([TOOL, *ISLAND, "--format", "f32", "--out", "h.f32", "--maps", "flow,flow-d8"], check=True)
h = np.fromfile("h.f32", dtype="<f4").reshape(N, N)[::-1]  # north row first
sea = h <= np.float32(0.01)
# In metres, as doubles: r.watershed given the heights in [0, 1] routes the
# flats of a float step or two its own way (log-area r 0.85 against 0.998
# in metres at 1025, single flow).
mem = gdal.GetDriverByName("MEM").Create("", N, N, 1, gdal.GDT_Float64)
mem.SetGeoTransform((0, 1, 0, N, 0, -1))
band = mem.GetRasterBand(1)
band.WriteArray(np.where(sea, np.nan, h.astype(np.float64) * 2000.0))
band.SetNoDataValue(float("nan"))
gdal.GetDriverByName("GTiff").CreateCopy("h.tif", mem)


def grass(flags, name):
    start = time.monotonic()
    subprocess.run(["grass", "--tmp-location", "XY", "--exec", "sh", "-c",
                    "r.in.gdal -o input=h.tif output=h --quiet && g.region raster=h && "
                    f"r.watershed {flags} -a elevation=h accumulation=acc memory=4000 --quiet && "
                    f"r.out.gdal input=acc output={name} type=Float64 --quiet"], check=True, capture_output=True)
    return time.monotonic() - start


grass_mfd = grass("convergence=4", "g_mfd.tif")
grass_d8 = grass("-s", "g_d8.tif")


def cells(path):
    data = gdal.Open(path)
    return data.GetRasterBand(1).ReadAsArray().astype(np.float64)


def ours(path):
    sample = cells(path)
    return np.where(sample > 0, 2.0 ** ((sample - 1) / 2048), 0)


inner = ~sea
inner[[0, -1], :] = inner[:, [0, -1]] = False
for label, mine, theirs, t_grass in (("mfd", ours("h.flow.png"), cells("g_mfd.tif"), grass_mfd),
                                     ("d8", ours("h.flow-d8.png"), cells("g_d8.tif"), grass_d8)):
    ok = inner & np.isfinite(theirs) & (theirs > 0)
    r = np.corrcoef(np.log(mine[ok]), np.log(theirs[ok]))[0, 1]
    rivers_ours = ok & (mine > 1000)
    rivers_grass = ok & (theirs > 1000)
    near = ndimage.binary_dilation(rivers_grass, structure=np.ones((5, 5)))
    within = rivers_ours[near].sum() / max(1, rivers_ours.sum())
    jaccard = (rivers_ours & rivers_grass).sum() / max(1, (rivers_ours | rivers_grass).sum())
    print(f"{N} {label}: log-area r = {r:.4f}, our river cells within 2 of GRASS's {100 * within:.2f} %, "
          f"Jaccard {jaccard:.3f}; r.watershed {t_grass:.1f} s")
