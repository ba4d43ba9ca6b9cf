"""Converts the real DEMs unpacked from Debian's packages into the one format
measure.py reads: NAME.npy (float32, row 0 north, NaN where there is no land
datum) and NAME.json ({"cell_m": ..., "source": ...}).

Usage: convert_real.py ROOT OUTDIR, ROOT being where the packages were
unpacked with dpkg -x. Each DEM that is missing is skipped with one line.
"""
import json
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rdata  # noqa: E402

EARTH_M_PER_DEG = 111320.0


def save(outdir, name, z, cell_m, source):
    np.save(os.path.join(outdir, name + ".npy"), np.asarray(z, dtype=np.float32))
    with open(os.path.join(outdir, name + ".json"), "w") as f:
        json.dump({"cell_m": cell_m, "source": source}, f)
    print("real DEM %-10s %4d x %-4d cells of %.1f m  (%s)" % (name, z.shape[1], z.shape[0], cell_m, source))


def square_cells(z, dx_m, dy_m):
    """Geographic grids have cells narrower east-west than north-south: resample
    the columns linearly onto the north-south spacing so cells are square."""
    cols = int(math.floor((z.shape[1] - 1) * dx_m / dy_m)) + 1
    x_new = np.arange(cols) * dy_m / dx_m
    out = np.empty((z.shape[0], cols), dtype=np.float64)
    for r in range(z.shape[0]):
        out[r] = np.interp(x_new, np.arange(z.shape[1]), z[r])
    return out


def jacksboro(root, outdir):
    path = root + "/usr/share/matplotlib/mpl-data/sample_data/jacksboro_fault_dem.npz"
    d = np.load(path)
    z = d["elevation"].astype(np.float64)
    lat = 0.5 * (float(d["ymin"]) + float(d["ymax"]))
    dy_m = float(d["dy"]) * EARTH_M_PER_DEG
    dx_m = float(d["dx"]) * EARTH_M_PER_DEG * math.cos(math.radians(lat))
    save(outdir, "jacksboro", square_cells(z, dx_m, dy_m), dy_m,
         "python-matplotlib-data jacksboro_fault_dem.npz, 3 arc-s, columns resampled to square cells")


def olinda(root, outdir):
    from osgeo import gdal
    path = root + "/usr/lib/R/site-library/stars/tif/olinda_dem_utm25s.tif"
    ds = gdal.Open(path)
    z = ds.GetRasterBand(1).ReadAsArray().astype(np.float64)
    cell = abs(ds.GetGeoTransform()[1])
    z[z <= 0] = np.nan  # the sea, stored as -1 and 0
    save(outdir, "olinda", z, cell, "r-cran-stars olinda_dem_utm25s.tif, sea (<= 0 m) dropped")


def gorillas(root, outdir):
    im = rdata.load(root + "/usr/lib/R/site-library/spatstat.data/data", "gorillas.extra")["elevation"]
    v = im["v"]
    rows, cols = v.attr("dim").value
    z = np.array(v.value, dtype=np.float64)
    z[z == -2 ** 31] = np.nan  # R's integer NA
    z = z.reshape((cols, rows)).T  # R stores matrices column by column
    z = z[::-1]  # spatstat's rows run south to north
    save(outdir, "gorillas", z, float(im["xstep"].value[0]),
         "r-cran-spatstat.data gorillas.extra$elevation (R lazy-load data read by rdata.py)")


def volcano(root, outdir):
    v = rdata.load(root + "/usr/lib/R/library/datasets/data", "volcano")
    rows, cols = v.attr("dim").value
    z = np.array(v.value, dtype=np.float64).reshape((cols, rows)).T
    save(outdir, "volcano", z, 10.0, "r-base-core datasets volcano (R lazy-load data read by rdata.py)")


def etopo5(root, outdir):
    """A mountain window (the Himalaya and southern Tibet, 78-98 E, 26-36 N):
    ETOPO5's 5 arc-minute cells are about 9 km, a scale far above the others'."""
    from osgeo import gdal
    ds = gdal.Open(root + "/usr/share/ferret-vis/data/etopo5.cdf")
    x0, dx, _, y0, _, dy = ds.GetGeoTransform()
    c0, c1 = int(round((78 - x0) / dx)), int(round((98 - x0) / dx))
    r0, r1 = int(round((36 - y0) / dy)), int(round((26 - y0) / dy))
    z = ds.GetRasterBand(1).ReadAsArray(c0, r0, c1 - c0, r1 - r0).astype(np.float64)
    z[z <= 0] = np.nan
    dy_m = abs(dy) * EARTH_M_PER_DEG
    dx_m = abs(dx) * EARTH_M_PER_DEG * math.cos(math.radians(31))
    save(outdir, "etopo5", square_cells(z, dx_m, dy_m), dy_m,
         "ferret-datasets etopo5.cdf, 78-98 E 26-36 N, columns resampled to square cells")


def main():
    root, outdir = sys.argv[1], sys.argv[2]
    os.makedirs(outdir, exist_ok=True)
    for convert in (jacksboro, olinda, gorillas, volcano, etopo5):
        try:
            convert(root, outdir)
        except Exception as e:  # one missing package must not stop the others
            print("skipped %s: %s" % (convert.__name__, e))


if __name__ == "__main__":
    main()
