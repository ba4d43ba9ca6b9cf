#!/usr/bin/python3
"""--shape end to end, read back through GDAL and numpy (no code shared with
the tool): fidelity on a drawn sketch and on a real DEM, tile exactness with
a shape, the stage refusing another shape, Unreal's sizes, the refusals.

usage: shape_test.py TOOL SCRATCH_DIR CASE [SIZE]

SIZE is the map's side in the dem and tiles cases, 2049 unless given; at
513 they take the same steps on a sixteenth of the cells."""
import os
import shutil
import subprocess
import sys

import numpy as np
from osgeo import gdal
from scipy import ndimage

gdal.UseExceptions()
TOOL, SCRATCH, CASE = sys.argv[1], sys.argv[2], sys.argv[3]
SIZE = int(sys.argv[4]) if len(sys.argv) > 4 else 2049
shutil.rmtree(SCRATCH, ignore_errors=True)
os.makedirs(SCRATCH)
os.chdir(SCRATCH)
SEA = 0.01


def run(*args, status=0):
    # A run that waits on a FIFO fails the test rather than holding it.
    done = subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=480)
    assert done.returncode == status, (args, done.returncode, done.stderr)
    return done.stderr


def write(path, array, driver="GTiff", nodata=None, options=()):
    """Rows top (north) first, as rasters are. int8 as GDAL 3.7+ has it, or
    as GDAL 3.6 writes it: bytes marked PIXELTYPE=SIGNEDBYTE."""
    kind = {np.dtype("uint8"): gdal.GDT_Byte, np.dtype("uint16"): gdal.GDT_UInt16,
            np.dtype("int16"): gdal.GDT_Int16, np.dtype("float32"): gdal.GDT_Float32,
            np.dtype("float64"): gdal.GDT_Float64}.get(array.dtype)
    if array.dtype == np.dtype("int8"):
        kind = getattr(gdal, "GDT_Int8", None)
        if kind is None:
            kind, array, options = gdal.GDT_Byte, array.view(np.uint8), [*options, "PIXELTYPE=SIGNEDBYTE"]
    bands = 1 if array.ndim == 2 else array.shape[0]
    mem = gdal.GetDriverByName("MEM").Create("", array.shape[-1], array.shape[-2], bands, kind)
    for b in range(bands):
        band = mem.GetRasterBand(b + 1)
        band.WriteArray(array if array.ndim == 2 else array[b])
        if nodata is not None:
            band.SetNoDataValue(nodata)
    gdal.GetDriverByName(driver).CreateCopy(path, mem, options=list(options))


def heights(path):
    """The tool's tif32 as heights, north row first."""
    return gdal.Open(path).ReadAsArray().astype(np.float64)


def back_on_shape_grid(map_heights, side):
    """The map resampled (bilinear) onto the shape's side x side samples,
    which span the map corner to corner."""
    n = map_heights.shape[0]
    at = np.arange(side) * (n - 1) / (side - 1)
    rows, cols = np.meshgrid(at, at, indexing="ij")
    return ndimage.map_coordinates(map_heights, [rows, cols], order=1)


def fidelity(shape_heights, map_heights):
    back = back_on_shape_grid(map_heights, shape_heights.shape[0])
    agree = np.mean((back > SEA) == (shape_heights > SEA))
    r = np.corrcoef(back.ravel(), shape_heights.ravel())[0, 1]
    return agree, r


def drains(h):
    """Every land cell off the border has a neighbour strictly lower: water
    always has a way down, so it reaches the sea or the border."""
    inner = h[1:-1, 1:-1]
    lowest = np.full(inner.shape, np.inf)
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            if dy or dx:
                lowest = np.minimum(lowest, h[1 + dy:h.shape[0] - 1 + dy, 1 + dx:h.shape[1] - 1 + dx])
    land = inner > np.float32(SEA)
    return bool(np.all(lowest[land] < inner[land]))


def sketch(side=257):
    """Two islands and a ridge, as a user might paint them, 16-bit."""
    y, x = np.mgrid[0:side, 0:side] / (side - 1.0)
    h = (0.55 * np.exp(-((x - 0.3) ** 2 + (y - 0.35) ** 2) / 0.02)
         + 0.35 * np.exp(-((x - 0.72) ** 2 + (y - 0.7) ** 2) / 0.012)
         + 0.25 * np.exp(-((x + y - 1.3) ** 2) / 0.004) * (x > 0.5))
    return np.clip(h, 0, 1)


def check_fidelity(shape_heights, args, label):
    for erosion, least_agree, least_r in (("0", 0.97, 0.98), ("1", 0.95, 0.95)):
        run(*args, "--erosion", erosion, "--format", "tif32", "--out", "m.tif")
        h = heights("m.tif")
        agree, r = fidelity(shape_heights, h)
        print(f"{label} erosion {erosion}: land and sea agree on {agree:.4f}, r = {r:.4f}")
        assert agree >= least_agree and r >= least_r, (label, erosion, agree, r)
        if erosion == "1":
            assert drains(h.astype(np.float32)[::-1]), label


def case_sketch():
    s = sketch()
    write("sketch.png", np.round(s * 65535).astype(np.uint16), "PNG")
    check_fidelity(s, ["--shape", "sketch.png", "--size", "1025", "--roughness", "0.62"], "sketch")
    # Unreal's size: the shape covers the written window, which is the
    # centred window of the next 2^k + 1 map.
    run("--shape", "sketch.png", "--size", "1009", "--format", "tif32", "--out", "u.tif")
    agree, r = fidelity(s, heights("u.tif"))
    assert agree >= 0.97 and r >= 0.98, (agree, r)
    run("--size", "1009", "--format", "tif32", "--out", "u.tif")
    run("--size", "1025", "--format", "tif32", "--out", "w.tif")
    assert np.array_equal(heights("u.tif"), heights("w.tif")[8:-8, 8:-8])


def case_dem():
    path = subprocess.run([os.environ["JACKSBORO_FETCH"], os.environ["JACKSBORO_DIR"]], capture_output=True,
                          text=True, check=True).stdout.strip()
    dem = np.load(path)["elevation"]
    write("dem.tif", dem.astype(np.int16))
    side = min(dem.shape)
    y0, x0 = (dem.shape[0] - side) // 2, (dem.shape[1] - side) // 2
    shape = np.clip((dem[y0:y0 + side, x0:x0 + side] - 300.0) / 800.0, 0, 1)
    check_fidelity(shape, ["--shape", "dem.tif", "--shape-range", "300,1100", "--size", str(SIZE)], "Jacksboro DEM")


TILE = (SIZE - 1) // 4 + 1  # 4 x 4 tiles


def tiles(out, *extra, status=0):
    return run("--shape", "sketch.png", "--size", str(SIZE), "--erosion", "1", "--format", "f32",
               "--tile-size", str(TILE), "--out", out, *extra, status=status)


def case_tiles():
    # 65 samples: a shape coarser than the 129 lattice, refined down to it
    # (the sketch case covers shapes placed on a finer lattice).
    write("sketch.png", np.round(sketch(65) * 65535).astype(np.uint16), "PNG")
    # The 129 map (the viewer's preview) on the big map's lattice, bit for bit.
    run("--shape", "sketch.png", "--format", "f32", "--out", "129.f32")
    run("--shape", "sketch.png", "--size", str(SIZE), "--format", "f32", "--out", "big.f32")
    every = (SIZE - 1) // 128
    assert np.array_equal(np.fromfile("129.f32", dtype="<u4"),
                          np.fromfile("big.f32", dtype="<u4").reshape(SIZE, SIZE)[::every, ::every].ravel())
    run("--shape", "sketch.png", "--size", str(SIZE), "--erosion", "1", "--format", "f32", "--out", "whole.f32")
    whole = np.fromfile("whole.f32", dtype="<u4").reshape(SIZE, SIZE)
    os.makedirs("set", exist_ok=True)
    os.makedirs("alone", exist_ok=True)
    tiles("set/w")
    tiles("alone/w", "--tile", "2,1")  # made alone: no stage file there yet
    for name in ["set/w_%d_%d.f32" % (x, y) for x in range(4) for y in range(4)] + ["alone/w_2_1.f32"]:
        x, y = int(name[-7]), int(name[-5])
        tile = np.fromfile(name, dtype="<u4").reshape(TILE, TILE)
        step = TILE - 1
        assert np.array_equal(tile, whole[step * y:step * y + TILE, step * x:step * x + TILE]), name
    # The same name, other bytes: the set's record refuses it, and without
    # the record the stage of the old shape does, landing no record.
    other = sketch(65)
    other[20:30, 20:30] = 0.5
    write("sketch.png", np.round(other * 65535).astype(np.uint16), "PNG")
    before = open("set/w_1_1.f32", "rb").read()
    message = tiles("set/w", "--tile", "1,1", status=1)
    assert message.count("\n") == 1 and "--shape heights-fnv1a64:" in message and "set/w'" in message, message
    assert open("set/w_1_1.f32", "rb").read() == before
    os.remove("alone/w.set")  # alone/ has no manifest (tile 0's run writes it)
    message = tiles("alone/w", "--tile", "1,1", status=1)
    assert message.count("\n") == 1 and "--shape heights-fnv1a64:" in message and "alone/w.stage" in message, message
    assert sorted(os.listdir("alone")) == ["w.stage", "w_2_1.f32"]


def case_refusals():
    good = np.round(sketch(33) * 255).astype(np.uint8)
    write("good.png", good, "PNG")
    data = open("good.png", "rb").read()
    open("cut.png", "wb").write(data[:len(data) // 2])
    open("text.txt", "w").write("not a raster\n")
    os.makedirs("adir", exist_ok=True)
    if not os.path.exists("fifo"):
        os.mkfifo("fifo")
    write("one.tif", np.zeros((1, 1), np.uint8))
    write("nodata.tif", np.full((8, 8), 7, np.int16), nodata=7)
    nan = np.ones((8, 8), np.float32)
    nan[3, 4] = np.nan
    write("nan.tif", nan)
    inf = np.ones((8, 8), np.float32)
    inf[1, 1] = np.inf
    write("inf.tif", inf)
    # ENVI headers whose raw file holds less than they claim, or too much.
    open("short.raw", "wb").write(bytes(100))
    open("short.hdr", "w").write("ENVI\nsamples = 64\nlines = 64\nbands = 1\ndata type = 1\n"
                                 "header offset = 0\ninterleave = bsq\n")
    open("huge.raw", "wb").write(bytes(100))
    open("huge.hdr", "w").write("ENVI\nsamples = 20000\nlines = 20000\nbands = 1\ndata type = 1\n"
                                "header offset = 0\ninterleave = bsq\n")
    cases = [("missing.png", 1), ("adir", 1), ("fifo", 1), ("text.txt", 1), ("cut.png", 1), ("short.raw", 1),
             ("one.tif", 2), ("huge.raw", 2), ("nodata.tif", 2), ("nan.tif", 2), ("inf.tif", 2),
             ("builtin:nowhere", 2)]
    if os.path.exists("out.png"):
        os.remove("out.png")
    for name, status in cases:
        message = run("--shape", name, "--out", "out.png", status=status)
        assert message.count("\n") == 1 and name in message and "accepted" in message, (name, message)
        assert not os.path.exists("out.png"), name
    assert "--shape-range" in run("--shape-range", "0,1", "--out", "out.png", status=2)
    assert not os.path.exists("out.png")
    # Several bands: band 1 is the shape.
    write("rgb.tif", np.stack([good, 255 - good, good // 2]))
    write("grey.tif", good)
    run("--shape", "rgb.tif", "--format", "tif32", "--out", "rgb-map.tif")
    run("--shape", "grey.tif", "--format", "tif32", "--out", "grey-map.tif")
    assert np.array_equal(heights("rgb-map.tif"), heights("grey-map.tif"))


def case_own_outputs():
    """The tool's own maps read back as shapes: heights 0 to 1, north up.
    exr goes through OpenEXR's library (Debian's GDAL has no EXR driver)."""
    run("--size", "257", "--sharpness", "0.25", "--format", "f32", "--out", "island.f32")
    island = np.fromfile("island.f32", dtype="<f4")
    for name, extra, most in (("island.exr", ["--shape-range", "0,1"], 0.0),
                              ("island.tif", ["--shape-range", "0,1"], 0.0),
                              ("island.png", [], 0.5 / 65535)):
        run("--size", "257", "--sharpness", "0.25", "--out", name)
        run("--shape", name, *extra, "--size", "257", "--format", "f32", "--out", "back.f32")
        back = np.fromfile("back.f32", dtype="<f4")
        assert np.abs(back - island).max() <= most * 1.0001, (name, np.abs(back - island).max())
    open("cut.exr", "wb").write(open("island.exr", "rb").read()[:3000])
    message = run("--shape", "cut.exr", "--out", "out.png", status=1)
    assert message.count("\n") == 1 and "cut.exr" in message and "accepted" in message, message


def vrt(path, source, raw=False):
    """A 33 x 33 VRT of one band: a simple source, or a raw band."""
    band = (f'<VRTRasterBand dataType="Byte" band="1" subClass="VRTRawRasterBand">'
            f'<SourceFilename relativeToVRT="1">{source}</SourceFilename></VRTRasterBand>' if raw else
            f'<VRTRasterBand dataType="Byte" band="1"><SimpleSource><SourceFilename relativeToVRT="1">{source}'
            f'</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand>')
    open(path, "w").write(f'<VRTDataset rasterXSize="33" rasterYSize="33">{band}</VRTDataset>')


def case_hostile():
    """Shapes a hostile or careless user gives: refused with one line that
    names them, nothing written; or read as their data says."""
    good = np.round(sketch(33) * 255).astype(np.uint8)
    write("good.tif", good)
    write("side.png", good, "PNG")
    for fifo in ("source.fifo", "side.png.aux.xml"):
        os.mkfifo(fifo)
    vrt("fifo.vrt", "source.fifo")
    open("short.bin", "wb").write(bytes(100))
    vrt("short.vrt", "short.bin", raw=True)
    vrt("connection.vrt", "GTIFF_DIR:1:good.tif")
    # Noise, so that half the file is well into the scan.
    write("photo.jpg", np.random.default_rng(1).integers(0, 256, (256, 256), dtype=np.uint8), "JPEG")
    data = open("photo.jpg", "rb").read()
    open("cut.jpg", "wb").write(data[:len(data) // 2])
    # 50000 x 50000 in its header, a few bytes on disk.
    gdal.GetDriverByName("GTiff").Create("huge.tif", 50000, 50000, 1, options=["SPARSE_OK=TRUE", "TILED=YES"])
    open("cut.pgm", "wb").write(b"P5\n33 33\n255\n" + bytes(100))
    cases = [("fifo.vrt", 1, "'./source.fifo' is not a regular file"),
             ("side.png", 1, "'./side.png.aux.xml' is not a regular file"),
             ("short.vrt", 1, "'./short.bin' holds fewer"),
             ("connection.vrt", 1, "GDAL would not read as a plain file"),
             ("cut.jpg", 1, "Premature end of JPEG file"),
             ("huge.tif", 2, "50000 x 50000 samples"),
             ("cut.pgm", 1, "'./cut.pgm' holds fewer"),
             ("/vsimem/good.tif", 1, "virtual file systems")]
    for name, status, said in cases:
        message = run("--shape", name, "--out", "out.png", status=status)
        assert message.count("\n") == 1 and name in message and said in message, (name, message)
        assert not os.path.exists("out.png"), name

    def same_map(a, b, *extra):
        run("--shape", a, *extra, "--format", "f32", "--out", "a.f32")
        run("--shape", b, *extra, "--format", "f32", "--out", "b.f32")
        return open("a.f32", "rb").read() == open("b.f32", "rb").read()

    # A regular file whose name GDAL would parse is read as that file.
    write("other.tif", 255 - good)
    shutil.copy("good.tif", "GTIFF_DIR:1:other.tif")
    assert same_map("GTIFF_DIR:1:other.tif", "good.tif") and not same_map("other.tif", "good.tif")
    # Signed bytes are signed: -1 is sea, as in 16 bits.
    signed = (good.astype(np.int16) - 128).astype(np.int8)
    write("signed8.tif", signed)
    write("signed16.tif", signed.astype(np.int16))
    assert same_map("signed8.tif", "signed16.tif", "--shape-range", "-128,127")
    # A finite double past float's range is clamped as any height is.
    metres = good.astype(np.float64) * 4
    metres[5, 5] = 1e308
    write("f64.tif", metres)
    metres[5, 5] = 1e30
    write("f30.tif", metres)
    assert same_map("f64.tif", "f30.tif")


def case_world():
    """A set's record and stage name the world a shape makes: its heights
    (not its name: a changed file, VRT source or sidecar's no-data value is
    another world), the range used, whether the falloff applies. A run of
    another world is refused, changing no file; one of the same world goes
    on."""
    write("s.png", np.round(sketch(65) * 65535).astype(np.uint16), "PNG")
    write("source.tif", np.round(sketch(65) * 255).astype(np.uint8))
    open("v.vrt", "w").write('<VRTDataset rasterXSize="65" rasterYSize="65"><VRTRasterBand dataType="Byte" band="1">'
                             '<SimpleSource><SourceFilename relativeToVRT="1">source.tif</SourceFilename>'
                             '<SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>')
    write("side.png", np.round(sketch(65) * 65535).astype(np.uint16), "PNG")
    highest = int(np.round(sketch(65) * 65535).max())
    world = ["--size", "129", "--tile-size", "65", "--format", "f32", "--tile", "0,0"]

    def snapshot(folder):
        return {name: open(os.path.join(folder, name), "rb").read() for name in sorted(os.listdir(folder))}

    def refused(folder, args, said):
        before = snapshot(folder)
        message = run(*args, "--out", folder + "/w", status=1)
        assert message.count("\n") == 1 and said in message, (args, message)
        assert snapshot(folder) == before, args

    other = sketch(65)
    other[20:30, 20:30] = 0.5
    for folder, first, change, then, said in [
            ("bytes", ["--shape", "s.png"], lambda: write("s.png", np.round(other * 65535).astype(np.uint16), "PNG"),
             ["--shape", "s.png"], "--shape heights-fnv1a64:"),
            ("source", ["--shape", "v.vrt"], lambda: write("source.tif", np.round(other * 255).astype(np.uint8)),
             ["--shape", "v.vrt"], "--shape heights-fnv1a64:"),
            ("sidecar", ["--shape", "side.png"],
             lambda: open("side.png.aux.xml", "w").write(f'<PAMDataset><PAMRasterBand band="1"><NoDataValue>{highest}'
                                                          '</NoDataValue></PAMRasterBand></PAMDataset>'),
             ["--shape", "side.png"], "--shape heights-fnv1a64:"),
            ("range", ["--shape", "s.png"], None, ["--shape", "s.png", "--shape-range", "0,1"], "--shape heights"),
            ("falloff", ["--shape", "s.png"], None, ["--shape", "s.png", "--falloff", "1"], "--falloff none, not 1")]:
        os.makedirs(folder)
        run(*first, *world, "--out", folder + "/w")
        if change:
            change()
        refused(folder, [*then, *world], said)
    # The range a run uses without --shape-range is the range it names, and
    # the record says so.
    assert "\n--shape-range 0,65535\n" in open("range/w.set").read()
    run("--shape", "s.png", "--shape-range", "0,65535", *world, "--out", "range/w")
    # Eroded: the stage file's header tells the falloff apart too.
    os.makedirs("stage")
    run("--shape", "s.png", "--erosion", "1", "--stage-only", *world[:6], "--out", "stage/w")
    os.remove("stage/w.set")
    refused("stage", ["--shape", "s.png", "--erosion", "1", "--falloff", "1", *world],
            "stage file 'stage/w.stage' was made with --falloff none, not 1")
    run("--shape", "s.png", "--erosion", "1", *world, "--out", "stage/w")


{"own": case_own_outputs, "sketch": case_sketch, "dem": case_dem, "tiles": case_tiles, "refusals": case_refusals,
 "hostile": case_hostile, "world": case_world}[CASE]()
