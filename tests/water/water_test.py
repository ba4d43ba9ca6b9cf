#!/usr/bin/python3
"""What erosion leaves behind and the water maps, end to end, read back
through GDAL and numpy (no code shared with the tool).

usage: water_test.py TOOL SCRATCH_DIR CASE"""
import json
import os
import shutil
import subprocess
import sys

import numpy as np
from osgeo import gdal

gdal.UseExceptions()
TOOL, SCRATCH, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
os.chdir(SCRATCH)
HEADROOM = np.float32(255.0 / 256.0)
ISLAND = ["--sharpness", "0.25", "--seed", "water"]


def run(*args, status=0):
    done = subprocess.run([TOOL, *args], capture_output=True, text=True)
    assert done.returncode == status, (args, done.returncode, done.stderr)
    return done.stderr


def band(path, b=1):
    """A band as GDAL reads it, north row first, in float64 (the dataset
    held while its band is read: GDAL's bindings free it otherwise)."""
    data = gdal.Open(path)
    return data.GetRasterBand(b).ReadAsArray().astype(np.float64)


def f32(path, n):
    """The tool's f32 (rows from the south) turned north row first."""
    return np.fromfile(path, dtype="<f4").reshape(n, n)[::-1]


def case_balance():
    """Wear and deposition against the map of the same options without
    erosion, times the headroom erosion first scales by: both >= 0, never
    both in a cell, and eroded - uneroded = (deposition - wear) / relief to
    float rounding; the 16-bit maps are the floats over wear_full_scale_m."""
    n, relief = 513, 1500.0
    common = ["--size", str(n), "--relief", str(relief), *ISLAND]
    run(*common, "--erosion", "1", "--format", "f32", "--out", "e.f32", "--meta",
        "--maps", "wear,deposition", "--float-maps", "tif32")
    run(*common, "--erosion", "1", "--format", "f32", "--out", "p.f32", "--meta", "--maps", "wear,deposition")
    run(*common, "--format", "f32", "--out", "u.f32")
    eroded = f32("e.f32", n).astype(np.float64)
    uneroded = (f32("u.f32", n) * HEADROOM).astype(np.float64)
    wear, deposition = band("e.wear.tif"), band("e.deposition.tif")
    assert wear.min() >= 0 and deposition.min() >= 0
    assert not np.any((wear > 0) & (deposition > 0))
    change = (eroded - uneroded) * relief
    # One float rounding of metres of up to the relief.
    assert np.abs(change - (deposition - wear)).max() <= relief * 2.0 ** -23, np.abs(change - (deposition - wear)).max()
    assert wear.max() > 10 and deposition.max() > 1, (wear.max(), deposition.max())
    meta = json.load(open("p.f32.json"))
    for kind, metres in (("wear", wear), ("deposition", deposition)):
        scale = meta[kind + "_full_scale_m"]
        assert scale == relief, scale
        grey = band("p.%s.png" % kind)
        assert np.array_equal(grey, np.floor(65535 * np.minimum(1, metres / scale) + 0.5)), kind


def case_files():
    """Every new file as GDAL reads it: its size, bands and type; the flow
    map's encoding against the flow-d8 one (both 1 on a cell draining only
    itself, 0 on the sea); flowdir 32768 on the sea."""
    n = 257
    run("--size", str(n), "--erosion", "1", *ISLAND, "--format", "f32", "--out", "m.f32", "--meta",
        "--maps", "flow,flow-d8,flowdir,wear,deposition")
    run("--size", str(n), "--erosion", "1", *ISLAND, "--format", "png16", "--out", "x.png",
        "--maps", "wear,deposition", "--float-maps", "exr")
    for name, bands, kind in (("m.flow.png", 1, gdal.GDT_UInt16), ("m.flow-d8.png", 1, gdal.GDT_UInt16),
                              ("m.flowdir.png", 3, gdal.GDT_UInt16), ("m.wear.png", 1, gdal.GDT_UInt16),
                              ("m.deposition.png", 1, gdal.GDT_UInt16)):
        data = gdal.Open(name)
        assert (data.RasterXSize, data.RasterYSize, data.RasterCount) == (n, n, bands), name
        assert data.GetRasterBand(1).DataType == kind, name
    for name in ("x.wear.exr", "x.deposition.exr"):
        assert open(name, "rb").read(4) == b"\x76\x2f\x31\x01", name  # OpenEXR's magic number
    sea = f32("m.f32", n) <= np.float32(0.01)
    flow, d8 = band("m.flow.png"), band("m.flow-d8.png")
    assert np.all(flow[sea] == 0) and np.all(d8[sea] == 0)
    assert flow[~sea].min() >= 1 and d8[~sea].min() >= 1
    # Multiple flow spreads the water: fewer cells hold only their own.
    assert np.sum(flow == 1) < np.sum(d8 == 1)
    direction = gdal.Open("m.flowdir.png").ReadAsArray().astype(np.float64)
    assert np.all(direction[0][sea] == 32768) and np.all(direction[1][sea] == 32768) and np.all(direction[2] == 0)
    assert np.any(direction[0][~sea] != 32768)


STEPS = [(1, 0), (1, 1), (0, 1), (-1, 1), (-1, 0), (-1, -1), (0, -1), (1, -1)]  # E NE N NW W SW S SE, +y north


def steepest_descent_areas(h, sea):
    """Each cell's receiver (the steepest drop per distance, ties to the
    first of E, NE, N, NW, W, SW, S, SE; none on the sea and the border) and
    its upstream cells, h indexed [y, x] with y north."""
    n = h.shape[0]
    best = np.zeros(h.shape)
    receiver = np.full(h.shape, -1)
    for k, (dx, dy) in enumerate(STEPS):
        there = np.full(h.shape, np.inf)
        there[1:-1, 1:-1] = h[1 + dy:n - 1 + dy, 1 + dx:n - 1 + dx]
        slope = (h.astype(np.float64) - there) / np.hypot(dx, dy)
        better = slope > best
        best[better], receiver[better] = slope[better], k
    receiver[sea] = -1
    receiver[[0, -1], :] = -1
    receiver[:, [0, -1]] = -1
    area = np.ones(h.shape, dtype=np.float64)
    for i in np.argsort(-h, axis=None, kind="stable"):
        y, x = divmod(int(i), n)
        k = receiver[y, x]
        if k >= 0:
            area[y + STEPS[k][1], x + STEPS[k][0]] += area[y, x]
    return receiver, area


def case_rivers():
    """The river mask is every land cell within w / 2 of a line cell, w =
    max(cell, W sqrt(A / 1 km^2)), at most 32 cells of half-width, computed
    here from the heights alone; a line cell's receiver is a line cell or
    the sea or the border, never narrower; every piece of the mask reaches
    the sea or the border."""
    from scipy import ndimage
    n, extent, area_m2, width_m = 513, 5000.0, 2e4, 40.0
    run("--size", str(n), "--erosion", "1", *ISLAND, "--extent", str(extent), "--format", "f32", "--out", "r.f32",
        "--maps", "rivers,water,depth", "--river-area", str(area_m2), "--river-width", str(width_m),
        "--float-maps", "tif32")
    h = np.fromfile("r.f32", dtype="<f4").reshape(n, n)  # [y, x], y north
    sea = h <= np.float32(0.01)
    cell = extent / (n - 1)
    receiver, area = steepest_descent_areas(h, sea)
    line = ~sea & (area * cell * cell > area_m2)
    radius = np.minimum(32.0, np.maximum(cell, width_m * np.sqrt(area * cell * cell / 1e6)) / (2 * cell))
    expected = np.zeros(h.shape, dtype=bool)
    ys, xs = np.nonzero(line)
    for y, x in zip(ys, xs):
        r = radius[y, x]
        reach = int(np.floor(r))
        y0, y1, x0, x1 = max(0, y - reach), min(n, y + reach + 1), max(0, x - reach), min(n, x + reach + 1)
        dy, dx = np.mgrid[y0 - y:y1 - y, x0 - x:x1 - x]
        expected[y0:y1, x0:x1] |= dx * dx + dy * dy <= r * r
    expected &= ~sea
    rivers = band("r.rivers.png")[::-1] == 255  # north row first in the file
    # Wide enough to mean something: hundreds of line cells paint beyond themselves.
    assert (radius[line] >= 1).sum() > 200 and rivers.sum() > line.sum() + 500, (rivers.sum(), line.sum())
    assert np.array_equal(rivers, expected), np.argwhere(rivers != expected)[:5]
    for y, x in zip(ys, xs):
        k = receiver[y, x]
        if k < 0:
            continue
        below = (y + STEPS[k][1], x + STEPS[k][0])
        assert line[below] or sea[below] or below[0] in (0, n - 1) or below[1] in (0, n - 1), (y, x)
        if line[below]:
            assert radius[below] >= radius[y, x], (y, x)
    pieces, count = ndimage.label(rivers, structure=np.ones((3, 3)))
    ends = ndimage.binary_dilation(sea, structure=np.ones((3, 3)))
    ends[[0, -1], :] = ends[:, [0, -1]] = True
    assert set(np.unique(pieces[rivers & ends])) == set(range(1, count + 1)), count

    # The water: the sea at its level and depth; on the rivers a surface at
    # the line's ground, never above the cell's own, falling along every
    # line, over a channel that never gets shallower downstream; none
    # elsewhere.
    surface, depth = band("r.water.tif")[::-1], band("r.depth.tif")[::-1]
    assert np.all(surface[sea] == np.float32(0.01))
    assert np.allclose(depth[sea], (0.01 - h[sea].astype(np.float64)) * 2000, atol=1e-3)
    assert np.all(surface[~sea & ~rivers] == 0) and np.all(depth[~sea & ~rivers] == 0)
    assert np.all(surface[rivers] <= h[rivers]) and np.all(surface[rivers] > 0.01)
    assert np.array_equal(surface[line], h[line])
    falls = 0
    for y, x in zip(ys, xs):
        k = receiver[y, x]
        if k >= 0 and line[y + STEPS[k][1], x + STEPS[k][0]]:
            below = (y + STEPS[k][1], x + STEPS[k][0])
            assert surface[below] < surface[y, x] and depth[below] >= depth[y, x], (y, x)
            falls += 1
    assert falls > 1000, falls

    # Unreal's 505 is the centred window of the 513 map, at the same cell
    # size: its rivers are that window of the 513 map's, edges included.
    run("--size", "505", "--erosion", "1", *ISLAND, "--extent", str(extent * 504 / 512), "--format", "f32",
        "--out", "u.f32", "--maps", "rivers,water", "--river-area", str(area_m2), "--river-width", str(width_m))
    assert np.array_equal(band("u.rivers.png"), band("r.rivers.png")[4:-4, 4:-4])
    expected_depth = width_m / 10 * (np.minimum(area * cell * cell, (64 * cell / width_m) ** 2 * 1e6) / 1e6) ** 0.4
    assert np.allclose(depth[line], expected_depth[line], rtol=1e-6)


def case_tiles():
    """A world's tiles with the float maps: NAME_X_Y.KIND.tif beside each
    tile, each the same window of the whole map's, and the manifest's full
    scales and float format."""
    common = ["--size", "513", "--erosion", "1", *ISLAND, "--maps", "wear,deposition,water,depth,flow,rivers",
              "--float-maps", "tif32"]
    run(*common, "--format", "f32", "--out", "whole.f32")
    run(*common, "--format", "f32", "--tile-size", "257", "--out", "w")
    manifest = json.load(open("w.tiles.json"))
    assert manifest["float_maps"] == "tif32" and manifest["wear_full_scale_m"] == 2000, manifest
    assert "depth_full_scale_m" in manifest
    for kind, ext in (("wear", "tif"), ("deposition", "tif"), ("water", "tif"), ("depth", "tif"), ("flow", "png"),
                      ("rivers", "png")):
        whole = band("whole.%s.%s" % (kind, ext))
        for x, y in ((0, 0), (1, 0), (0, 1), (1, 1)):
            tile = band("w_%d_%d.%s.%s" % (x, y, kind, ext))
            # Tile Y counts from the south here; rows are north first.
            rows = slice(513 - 257 * (y + 1) + y, 513 - 256 * y)
            assert np.array_equal(tile, whole[rows, 256 * x:256 * x + 257]), (kind, x, y)


def case_grass():
    """Our multiple-flow area against GRASS GIS r.watershed's (MFD,
    convergence 4: Holmgren's exponent, as ours) on the same eroded heights,
    in metres, the sea no-data: log-area r >= 0.95 on land, and at least 99 %
    of our river cells (over 1000 cells) within 2 cells of GRASS's. Skipped
    (77) without grass-core."""
    from scipy import ndimage
    if shutil.which("grass") is None:
        sys.exit(77)
    n = 1025
    run("--size", str(n), "--erosion", "1", *ISLAND, "--format", "f32", "--out", "h.f32", "--maps", "flow")
    h = f32("h.f32", n)
    sea = h <= np.float32(0.01)
    mem = gdal.GetDriverByName("MEM").Create("", n, n, 1, gdal.GDT_Float64)
    mem.SetGeoTransform((0, 1, 0, n, 0, -1))
    heights = mem.GetRasterBand(1)
    heights.WriteArray(np.where(sea, np.nan, h.astype(np.float64) * 2000.0))
    heights.SetNoDataValue(float("nan"))
    gdal.GetDriverByName("GTiff").CreateCopy("h.tif", mem)
    subprocess.run(["grass", "--tmp-location", "XY", "--exec", "sh", "-c",
                    "r.in.gdal -o input=h.tif output=h --quiet && g.region raster=h && "
                    "r.watershed convergence=4 -a elevation=h accumulation=acc --quiet && "
                    "r.out.gdal input=acc output=grass.tif type=Float64 --quiet"], check=True, capture_output=True)
    sample = band("h.flow.png")
    ours = np.where(sample > 0, 2.0 ** ((sample - 1) / 2048), 0)
    theirs = np.abs(band("grass.tif"))
    land = ~sea & np.isfinite(theirs) & (theirs > 0)
    land[[0, -1], :] = land[:, [0, -1]] = False
    r = np.corrcoef(np.log(ours[land]), np.log(theirs[land]))[0, 1]
    rivers = land & (ours > 1000)
    near = ndimage.binary_dilation(land & (theirs > 1000), structure=np.ones((5, 5)))
    within = rivers[near].sum() / rivers.sum()
    assert r >= 0.95 and within >= 0.99 and rivers.sum() > 1000, (r, within, rivers.sum())


def case_lakes():
    """--lakes on the recommended island: each lake is one flat surface at
    its spill height (its bed below, its rim at or above, its sill exactly
    at it), at least the least area, its depth the surface over the bed,
    its water going on out over its rim; every other land cell has a lower
    neighbour; the tiles' lake, water and depth maps are the whole map's;
    and a set made without --lakes is refused with it."""
    from scipy import ndimage
    n, relief, least = 1025, 2000.0, 3000.0
    common = ["--size", str(n), "--roughness", "0.62", "--sharpness", "0.25", "--erosion", "1", "--seed", "water",
              "--lakes", str(least), "--maps", "lakes,water,depth,flow-d8", "--float-maps", "tif32",
              "--format", "f32"]
    run(*common, "--meta", "--out", "m.f32")
    meta = json.load(open("m.f32.json"))
    assert meta["lakes_min_area_m2"] == least and meta["depth_full_scale_m"] == relief, meta
    h = f32("m.f32", n)
    lakes = band("m.lakes.png") == 255
    water = band("m.water.tif").astype(np.float32)
    depth = band("m.depth.tif")
    sample = band("m.flow-d8.png")
    upstream = np.where(sample > 0, 2.0 ** ((sample - 1) / 2048), 0)
    labels, count = ndimage.label(lakes, structure=np.ones((3, 3)))
    assert count >= 3, count
    cell = meta["cell_size_m"]
    for k in range(1, count + 1):
        lake = labels == k
        level = np.unique(water[lake])
        assert len(level) == 1 and lake.sum() * cell * cell >= least, (k, level, lake.sum())
        rim = ndimage.binary_dilation(lake, structure=np.ones((3, 3))) & ~lake
        assert (h[lake] < level[0]).all() and h[rim].min() == level[0], k
        assert np.allclose(depth[lake], (level[0] - h[lake].astype(np.float64)) * relief, rtol=0, atol=relief * 2.0 ** -22)
        assert upstream[rim].max() > lake.sum(), k
    # Steepest descent from any dry land cell ends in the sea, on the border or in a lake.
    padded = np.pad(h, 1, constant_values=np.inf)
    lowest = np.min([padded[1 + dy:n + 1 + dy, 1 + dx:n + 1 + dx] for dy in (-1, 0, 1) for dx in (-1, 0, 1)
                     if dy or dx], axis=0)
    dry = (h > np.float32(0.01)) & ~lakes
    dry[[0, -1], :] = dry[:, [0, -1]] = False
    assert (lowest[dry] < h[dry]).all(), (~(lowest[dry] < h[dry])).sum()
    run(*common, "--tile-size", "513", "--out", "w")
    for kind, ext in (("lakes", "png"), ("water", "tif"), ("depth", "tif")):
        whole = band("m.%s.%s" % (kind, ext))
        for x, y in ((0, 0), (1, 0), (0, 1), (1, 1)):
            rows = slice(n - 513 * (y + 1) + y, n - 512 * y)
            assert np.array_equal(band("w_%d_%d.%s.%s" % (x, y, kind, ext)), whole[rows, 512 * x:512 * x + 513]), kind
    message = run(*[a for a in common if a not in ("--lakes", str(least))], "--tile-size", "513", "--out", "w",
                  status=1)
    assert "--lakes" in message, message


def case_refusals():
    """One line, exit 2, nothing written."""
    for args, words in ((["--maps", "wear"], "--erosion"),
                        (["--maps", "deposition", "--erosion", "0"], "--erosion"),
                        (["--maps", "wear", "--erosion", "1", "--float-maps", "exr16"], "exr16"),
                        (["--maps", "rivers", "--river-width", "1001"], "1000"),
                        (["--maps", "rivers", "--river-width", "-1"], "1000"),
                        (["--lakes", "20000"], "--erosion"),
                        (["--lakes", "0.5", "--erosion", "1"], "1e12")):
        message = run(*args, "--out", "out.png", status=2)
        assert message.count("\n") == 1 and words in message, (args, message)
        assert not os.listdir("."), os.listdir(".")


{"balance": case_balance, "files": case_files, "rivers": case_rivers, "tiles": case_tiles, "grass": case_grass,
 "lakes": case_lakes, "refusals": case_refusals}[CASE]()
