#!/usr/bin/python3
"""Measures whether a DEM reads as real land: the same statistics on real
DEMs and on orvandel-heightmap's maps, one table row per DEM.

Shares no code with the C++ tool: routing, slopes and spectra are computed
here from the heights alone. The statistics and their thresholds are
described in the README ("How real the land reads").

Inputs:
  NAME.npy   float32 heights in metres, NaN off the land; cell size from
             NAME.json's "cell_m" (what scripts/fetch-real-dems.sh writes)
  FILE.f32   the tool's f32 output; FILE.f32.json (--meta) gives the size,
  FILE.tif   row order, cell_size_m and relief_m; heights are scaled by
             relief_m to metres and cells at or below --sea (a height, the
             tool's default 0.01) are the sea, left out.
"""
import argparse
import json
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from drainage import OFFSETS, accumulate, route  # noqa: E402

# Thresholds of the statistics (see the README for why each).
CHANNEL_CELLS = 50        # a cell is a channel when its D8 area is at least this many cells
BINS_PER_DECADE = 10      # log-binning of area for the slope-area and Hack fits
MIN_CELLS_PER_BIN = 5     # a bin with fewer cells is left out of the fits
RUN_STEPS = 8             # a straight run: this many identical D8 steps
SLOPE_STEPS = 4           # channel slope: the drop over this many D8 steps downstream
LARGE_BAND = (2.0, 8.0)   # spectrum, large scale: wavelengths W/2 to W/8 cells (frequency 2/W to 8/W)
FINE_BAND = (0.25, 0.5)   # spectrum, fine scale: 0.25 to 0.5 cycles a cell (wavelengths 4 to 2 cells)
ANGULAR_BAND = (0.125, 0.5)  # spectrum's angular harmonics: wavelengths 8 to 2 cells
MIN_SPECTRUM_SIDE = 32    # a land-only square smaller than this gives no spectrum
RUN_CAP = 256             # same-direction runs are followed at most this many steps
FLAT_DEG = 1.0
SLOPED_DEG = (5.0, 45.0)


def load(path, sea):
    """Heights in metres (NaN off the land) and the cell size in metres."""
    if path.endswith(".npy"):
        z = np.load(path).astype(np.float64)
        with open(path[:-4] + ".json") as f:
            return z, float(json.load(f)["cell_m"])
    with open(path + ".json") as f:
        meta = json.load(f)
    if path.endswith(".f32"):
        n = int(meta["width"])
        h = np.fromfile(path, dtype="<f4").astype(np.float64).reshape((int(meta["height"]), n))
        if meta["row_order"] == "bottom_first":
            h = h[::-1]  # row 0 north, as the GeoTIFF and the real DEMs
    else:
        from osgeo import gdal
        ds = gdal.Open(path)  # kept: a band outliving its dataset crashes GDAL's bindings
        h = ds.GetRasterBand(1).ReadAsArray().astype(np.float64)
    h[h <= sea] = np.nan
    return h * float(meta["relief_m"]), float(meta["cell_size_m"])


def resample(z, cell, new_cell):
    """Area-averaged resampling (GDAL's "average"), as a GIS user would
    coarsen a DEM; NaN stays out of the averages."""
    from osgeo import gdal
    rows, cols = z.shape
    src = gdal.GetDriverByName("MEM").Create("", cols, rows, 1, gdal.GDT_Float64)
    src.SetGeoTransform((0, cell, 0, rows * cell, 0, -cell))
    src.GetRasterBand(1).SetNoDataValue(float("nan"))
    src.GetRasterBand(1).WriteArray(z)
    dst = gdal.Warp("", src, format="MEM", xRes=new_cell, yRes=new_cell, resampleAlg="average",
                    srcNodata=float("nan"), dstNodata=float("nan"))
    return dst.GetRasterBand(1).ReadAsArray().astype(np.float64)


def crop_centre(z, w):
    """The centre W x W window, its corner on a multiple of 4 so that each
    cell keeps its lattice class (row and column mod 2 and mod 4)."""
    rows, cols = z.shape
    r0, c0 = max(0, (rows - w) // 2) // 4 * 4, max(0, (cols - w) // 2) // 4 * 4
    return z[r0:r0 + w, c0:c0 + w]


def binned_fit(x, y):
    """Least-squares slope of log10 y on log10 x over the medians of
    logarithmic bins of x (BINS_PER_DECADE a decade)."""
    ok = (x > 0) & (y > 0)
    lx, ly = np.log10(x[ok]), np.log10(y[ok])
    if lx.size == 0:
        return float("nan"), 0
    b = np.floor(lx * BINS_PER_DECADE).astype(int)
    xs, ys = [], []
    for k in np.unique(b):
        sel = b == k
        if sel.sum() >= MIN_CELLS_PER_BIN:
            xs.append(np.median(lx[sel]))
            ys.append(np.median(ly[sel]))
    if len(xs) < 3:
        return float("nan"), len(xs)
    return float(np.polyfit(xs, ys, 1)[0]), len(xs)


def horn(z, cell):
    """Horn's gradient (dz/dx east, dz/dy north) on the interior cells whose
    3x3 window is all land; NaN elsewhere."""
    p = z
    a, b, c = p[:-2, :-2], p[:-2, 1:-1], p[:-2, 2:]
    d, f = p[1:-1, :-2], p[1:-1, 2:]
    g, h, i = p[2:, :-2], p[2:, 1:-1], p[2:, 2:]
    gx = ((c + 2 * f + i) - (a + 2 * d + g)) / (8 * cell)
    gy = ((a + 2 * b + c) - (g + 2 * h + i)) / (8 * cell)  # row 0 is north
    return gx, gy


def largest_land_square(z):
    """The largest square of z with no NaN: the centre square when z has none,
    else the one nearest z's centre (then the lowest row and column). Filling the sea with the land's mean made
    the coast a step, whose spectrum falls as f^-2 whatever the land does:
    a crop with a bay measured as raw grain."""
    rows, cols = z.shape
    if not np.isnan(z).any():
        return crop_centre(z, min(rows, cols))
    sea = np.zeros((rows + 1, cols + 1), dtype=np.int64)
    sea[1:, 1:] = np.cumsum(np.cumsum(np.isnan(z), axis=0), axis=1)

    def clear(w):  # corners (row, col) of the w x w windows with no sea
        count = sea[w:, w:] - sea[:-w, w:] - sea[w:, :-w] + sea[:-w, :-w]
        return np.argwhere(count == 0)

    lo, hi = 0, min(rows, cols)
    while lo < hi:  # the largest w with a clear window
        mid = (lo + hi + 1) // 2
        if clear(mid).size:
            lo = mid
        else:
            hi = mid - 1
    if lo == 0:
        return z[:0, :0]
    corners = clear(lo)
    off = np.hypot(corners[:, 0] + lo / 2 - rows / 2, corners[:, 1] + lo / 2 - cols / 2)
    r0, c0 = corners[np.lexsort((corners[:, 1], corners[:, 0], off))[0]]
    return z[r0:r0 + lo, c0:c0 + lo]


def spectrum_slopes(z):
    """Radially averaged power spectrum of the plane-detrended, Hann-windowed
    largest land-only square: log-log slopes over LARGE_BAND and FINE_BAND,
    and the fine band's angular harmonics; NaN when that square is under
    MIN_SPECTRUM_SIDE cells."""
    s = largest_land_square(z)
    w = s.shape[0]
    if w < MIN_SPECTRUM_SIDE:
        return float("nan"), float("nan"), (float("nan"), float("nan"))
    yy, xx = np.mgrid[0:w, 0:w]
    a = np.c_[xx.ravel(), yy.ravel(), np.ones(w * w)]
    coef = np.linalg.lstsq(a, s.ravel(), rcond=None)[0]
    s = s - (a @ coef).reshape(w, w)
    hann = np.hanning(w)
    p = np.abs(np.fft.fft2(s * np.outer(hann, hann))) ** 2
    f = np.hypot(*np.meshgrid(np.fft.fftfreq(w), np.fft.fftfreq(w)))

    def slope(lo, hi):
        sel = (f >= lo) & (f <= hi)
        edges = np.logspace(math.log10(lo), math.log10(hi), 9)
        fx, py = [], []
        for e0, e1 in zip(edges[:-1], edges[1:]):
            m = sel & (f >= e0) & (f < e1)
            if m.any():
                fx.append(math.log10(f[m].mean()))
                py.append(math.log10(p[m].mean()))
        return float(np.polyfit(fx, py, 1)[0]) if len(fx) >= 3 else float("nan")

    # Angular harmonics of the fine band: |sum P e^(i n phi)| / sum P over
    # the frequencies of the annulus, phi the frequency's own angle (so a
    # preference for the axes or the diagonals at wavelengths of 2 to 8
    # cells shows, whatever the slopes' directions).
    fx, fy = np.meshgrid(np.fft.fftfreq(w), np.fft.fftfreq(w))
    ring = (f >= ANGULAR_BAND[0]) & (f <= ANGULAR_BAND[1])
    phi = np.arctan2(fy[ring], fx[ring])
    spectral = tuple(harmonic(phi, p[ring], n) for n in (4, 8))
    return slope(LARGE_BAND[0] / w, LARGE_BAND[1] / w), slope(*FINE_BAND), spectral


def harmonic(angle, weight, n):
    return float(abs(np.sum(weight * np.exp(1j * n * angle))) / np.sum(weight))


def measure(z, cell, channel_m2=None):
    """The figures of one DEM (metres, NaN off the land), as a dict. A
    channel is a cell of at least CHANNEL_CELLS cells of area, or, given
    channel_m2, of at least that many square metres (at 0.6 m cells 50 cells
    are a hillslope)."""
    # Degenerate inputs (a plane's constant curvature) give NaN, not warnings.
    with np.errstate(invalid="ignore", divide="ignore"):
        return _measure(z, cell, CHANNEL_CELLS if channel_m2 is None else channel_m2 / (cell * cell))


def _measure(z, cell, channel_cells):
    rows, cols = z.shape
    land = ~np.isnan(z)
    out = {"cells": int(land.sum()), "cell_m": cell, "size": "%dx%d" % (cols, rows)}

    # Raw pits: land cells lower than all eight land neighbours (before filling).
    pad = np.pad(z, 1, constant_values=np.nan)
    lower = np.ones_like(land)
    for dr, dc in OFFSETS:
        nb = pad[1 + dr:1 + dr + rows, 1 + dc:1 + dc + cols]
        lower &= np.isnan(nb) | (z < nb)
    interior = np.zeros_like(land)
    interior[1:-1, 1:-1] = True
    interior &= land
    for dr, dc in OFFSETS:
        interior &= ~np.isnan(pad[1 + dr:1 + dr + rows, 1 + dc:1 + dc + cols])
    out["pits_per_1e4"] = 1e4 * float((lower & interior).sum()) / max(1, interior.sum())

    rec, step, order, filled = route(z)
    area, length = accumulate(rec, step, order)
    zf = z.ravel()
    channel = (area >= channel_cells) & (rec >= 0)
    recs = np.maximum(rec, 0)
    # Channel slope: the raw heights' drop over SLOPE_STEPS D8 steps (fewer
    # at an outlet) over the path's length, so that one quantised metre or a
    # single noisy cell does not make the slope.
    cur, run = np.arange(rec.size), np.zeros(rec.size)
    for _ in range(SLOPE_STEPS):
        go = rec[cur] >= 0
        run = run + np.where(go, step[cur], 0)
        cur = np.where(go, rec[cur], cur)
    with np.errstate(invalid="ignore", divide="ignore"):
        slope = (zf - zf[cur]) / (run * cell)
    out["channel_cells"] = int(channel.sum())
    sel = channel & (slope > 0)
    ks, nbins = binned_fit(area[sel] * cell * cell, slope[sel])
    out["theta"] = -ks
    out["theta_bins"] = nbins
    h, _ = binned_fit(area[channel] * cell * cell, (length[channel] + 1) * cell)
    out["hack"] = h

    # Straight runs: from each channel cell, RUN_STEPS steps downstream with
    # one D8 direction throughout.
    code = np.where(rec >= 0, (rec // cols - np.arange(rec.size) // cols) * 3
                    + (rec % cols - np.arange(rec.size) % cols), 99)
    start = np.flatnonzero(channel)
    cur = start.copy()
    straight = np.ones(start.size, dtype=bool)
    alive = np.ones(start.size, dtype=bool)
    first = code[start]
    for _ in range(RUN_STEPS):
        alive &= rec[cur] >= 0
        straight &= code[cur] == first
        cur = np.where(alive, rec[cur], cur)
    out["straight_runs"] = float(straight[alive].mean()) if alive.any() else float("nan")
    # Same-direction runs: a run starts at a channel cell none of whose
    # channel donors steps the same way, and lasts while the steps downstream
    # keep that direction (at most RUN_CAP); the mean over the runs.
    donor = np.flatnonzero(channel)
    same = code[donor] == code[recs[donor]]
    continued = np.zeros(rec.size, dtype=bool)
    continued[recs[donor[same]]] = True
    heads = np.flatnonzero(channel & ~continued)
    cur = heads.copy()
    run_steps = np.zeros(heads.size)
    going = np.ones(heads.size, dtype=bool)
    for _ in range(RUN_CAP):
        run_steps += going
        nxt = recs[cur]
        going &= (rec[nxt] >= 0) & (code[nxt] == code[heads])
        cur = np.where(going, nxt, cur)
        if not going.any():
            break
    out["mean_run"] = float(run_steps.mean()) if heads.size else float("nan")
    dirs = code[start]
    out["diagonal_steps"] = float(np.isin(dirs, (-4, -2, 2, 4)).mean()) if start.size else float("nan")

    # Slopes by Horn's method.
    gx, gy = horn(z, cell)
    grad = np.hypot(gx, gy)
    ok = ~np.isnan(grad)
    deg = np.degrees(np.arctan(grad[ok]))
    out["sloped_5_45"] = float(((deg >= SLOPED_DEG[0]) & (deg <= SLOPED_DEG[1])).mean())
    out["flat_lt_1"] = float((deg < FLAT_DEG).mean())
    out["median_slope"] = float(np.median(deg))

    # Directions: slope-weighted aspect harmonics.
    aspect = np.arctan2(gy[ok], gx[ok])
    out["aspect_h4"] = harmonic(aspect, grad[ok], 4)
    out["aspect_h8"] = harmonic(aspect, grad[ok], 8)

    # Curvature: the 5-point Laplacian, its spread by lattice class.
    lap = np.full(z.shape, np.nan)
    lap[1:-1, 1:-1] = (z[:-2, 1:-1] + z[2:, 1:-1] + z[1:-1, :-2] + z[1:-1, 2:] - 4 * z[1:-1, 1:-1]) / (cell * cell)
    r_idx, c_idx = np.mgrid[0:rows, 0:cols]
    for k in (2, 4):
        spreads = []
        for a in range(k):
            for b in range(k):
                v = lap[(r_idx % k == a) & (c_idx % k == b)]
                v = v[~np.isnan(v)]
                spreads.append(v.std() if v.size > 1 else np.nan)
        out["curv_ratio_mod%d" % k] = float(np.nanmax(spreads) / np.nanmin(spreads))
    # The same ratio over 16 classes of the same cells drawn at random (a fixed
    # seed): what sampling alone gives, the floor under κ mod4.
    v = lap[~np.isnan(lap)]
    label = np.random.default_rng(1).integers(0, 16, v.size)
    spreads = [v[label == k].std() for k in range(16) if (label == k).sum() > 1]
    out["curv_ratio_null"] = float(max(spreads) / min(spreads)) if spreads else float("nan")
    # Skewness of the curvature: one-cell grooves cut into smooth slopes
    # give a long tail of strongly concave cells (positive Laplacian).
    out["curv_skew"] = float(np.mean((v - v.mean()) ** 3) / v.std() ** 3) if v.size > 2 else float("nan")
    # Neighbouring curvatures: smooth hillslopes correlate, sandpaper alternates.
    pair = ~np.isnan(lap[:, :-1]) & ~np.isnan(lap[:, 1:])
    out["curv_ac1"] = float(np.corrcoef(lap[:, :-1][pair], lap[:, 1:][pair])[0, 1])

    big, fine, (s4, s8) = spectrum_slopes(z)
    out["spectrum_side"] = int(largest_land_square(z).shape[0])
    out["spec_h4"] = s4
    out["spec_h8"] = s8
    out["spec_large"] = big
    out["spec_fine"] = fine
    out["rolloff"] = fine - big
    return out


def hillshade(z, cell, path):
    """Hillshade at the DEM's own grain: sun from the north-west (315 deg),
    45 deg high, Horn's gradient, written as an 8-bit PNG through GDAL."""
    from osgeo import gdal
    gx, gy = horn(z, cell)
    slope = np.arctan(np.hypot(gx, gy))
    aspect = np.arctan2(-gy, -gx)  # ESRI's convention: its dz/dy points south
    zen, az = math.radians(45), math.radians(360 - 315 + 90)
    shade = np.cos(zen) * np.cos(slope) + np.sin(zen) * np.sin(slope) * np.cos(az - aspect)
    img = np.where(np.isnan(shade), 0, np.clip(shade, 0, 1) * 254 + 1).astype(np.uint8)
    mem = gdal.GetDriverByName("MEM").Create("", img.shape[1], img.shape[0], 1, gdal.GDT_Byte)
    mem.GetRasterBand(1).WriteArray(img)
    gdal.GetDriverByName("PNG").CreateCopy(path, mem)


COLUMNS = [("theta", "θ", "%.2f"), ("hack", "Hack", "%.2f"), ("sloped_5_45", "5-45°", "%.2f"),
           ("flat_lt_1", "<1°", "%.3f"), ("median_slope", "med°", "%.1f"),
           ("spec_large", "β big", "%.2f"), ("spec_fine", "β fine", "%.2f"), ("rolloff", "roll", "%.2f"),
           ("straight_runs", "str8", "%.3f"), ("mean_run", "run", "%.2f"), ("curv_ratio_mod2", "κ mod2", "%.2f"),
           ("curv_ratio_mod4", "κ mod4", "%.2f"), ("curv_ratio_null", "κ null", "%.2f"), ("curv_ac1", "κ ac1", "%.2f"),
           ("curv_skew", "κ skew", "%.2f"),            ("aspect_h4", "h4", "%.3f"), ("aspect_h8", "h8", "%.3f"),
           ("spec_h4", "P h4", "%.3f"), ("spec_h8", "P h8", "%.3f"), ("pits_per_1e4", "pits", "%.1f")]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("dems", nargs="+", help="DEM files: NAME.npy (+NAME.json), FILE.f32 or FILE.tif (+FILE.json)")
    ap.add_argument("--crop", type=int, metavar="W", help="measure the centre W x W cells (after --resample)")
    ap.add_argument("--resample", type=float, metavar="M", help="average to cells of M metres first")
    ap.add_argument("--channel-m2", type=float, metavar="M2",
                    help="channels by area: at least M2 square metres (default: %d cells)" % CHANNEL_CELLS)
    ap.add_argument("--sea", type=float, default=0.01, help="the tool's maps: heights at or below are sea (default 0.01)")
    ap.add_argument("--hillshade", metavar="OUT.png", help="write the (first) measured DEM's hillshade")
    ap.add_argument("--json", metavar="OUT.json", help="also write the figures as JSON, one object per DEM")
    args = ap.parse_args()
    results = []
    for path in args.dems:
        z, cell = load(path, args.sea)
        if args.resample:
            z = resample(z, cell, args.resample)
            cell = args.resample
        if args.crop:
            z = crop_centre(z, args.crop)
        if args.hillshade and not results:
            hillshade(z, cell, args.hillshade)
        r = measure(z, cell, args.channel_m2)
        r["dem"] = os.path.basename(path)
        results.append(r)
    head = "%-22s %6s %9s " % ("dem", "cell", "size") + " ".join("%6s" % h for _, h, _ in COLUMNS)
    print(head)
    for r in results:
        print("%-22s %6.1f %9s " % (r["dem"][:22], r["cell_m"], r["size"])
              + " ".join("%6s" % (fmt % r[k]) for k, _, fmt in COLUMNS))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=1)


if __name__ == "__main__":
    sys.exit(main())
