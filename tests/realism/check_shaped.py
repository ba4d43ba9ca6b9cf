"""CI check that a drawn shape grows relief between its strokes and the
grain, and keeps its form: a sketch of strokes only (a range, a plateau, a
coastal plain, the sea) made into an eroded 1025 map with the recommended
options, measured with numpy alone (no code shared with the tool).

- Relief between the strokes and the grain: the power spectrum of the
  centre half, radially averaged, falls off over wavelengths of 1/8 to 1/32
  of the map with a log-log slope of at least -5.5 (0.7's smooth walls gave
  -6.5; the island gives -3 to -4).
- The user's form: means of 16 x 16 cell blocks (64 at 4097) correlate with
  the sketch's at r >= 0.95, and agree on land and sea on >= 95 % of them.
- No raw grain on the plain: the 5-point laplacian's RMS on the plain
  (sketch heights 0.02 to 0.12) is at most 0.8 of its RMS on the high
  ground (above 0.3): the seed's detail below the shape's lattice is shared
  by height as the relief above it is. With the whole law there (0.10) the
  plain was gravel, its curvature 1.45 times the mountains'; 0.54 in
  0.11, 0.28 now that gentle ground creeps faster; at most 0.4.
- Smooth hillslopes at the finest scale: the fine spectrum's slope of the
  centre half (bench/realism/measure.py) is at most -3.3 (real land -3.1
  to -6.2): with one creep rate on gentle and steep ground (0.11) -3.03,
  -3.73 now.
- Rivers that fall to the sea: the channel concavity theta of the centre
  half (bench/realism/measure.py) is at most 0.8 (real land 0.2 to 0.6).
  Rivers that cross the plain in flats the final fill left give theta near
  1: 0.97 when a finer round ran its slides and creep all after the
  deposition, which dammed the plain's rivers; 0.60 with them split.

Exits 77 (skipped) without numpy. Usage: check_shaped.py TOOL WORK_DIR MEASURE_DIR"""
import os
import subprocess
import sys

try:
    import numpy as np
    from osgeo import gdal
except ImportError:
    print("SKIPPED: numpy or GDAL's Python bindings are missing (python3-numpy, python3-gdal)")
    sys.exit(77)

tool, work, measure_dir = sys.argv[1:4]
sys.path.insert(0, measure_dir)
import measure  # noqa: E402
os.makedirs(work, exist_ok=True)
os.chdir(work)
N, SIDE, SEA = 1025, 257, 0.01


def segment_distance(x, y, a, b):
    t = np.clip(((x - a[0]) * (b[0] - a[0]) + (y - a[1]) * (b[1] - a[1])) /
                ((b[0] - a[0]) ** 2 + (b[1] - a[1]) ** 2), 0, 1)
    return np.hypot(x - (a[0] + t * (b[0] - a[0])), y - (a[1] + t * (b[1] - a[1])))


def sketch():
    """Smooth strokes, north row first, as a user draws them."""
    y, x = np.mgrid[0:SIDE, 0:SIDE] / (SIDE - 1.0)
    plain = np.clip(1.2 - 2.2 * np.hypot(x - 0.5, y - 0.52), 0, 1) ** 0.6 * 0.10
    ridge = 0.75 * np.exp(-(segment_distance(x, y, (0.28, 0.32), (0.72, 0.42)) / 0.06) ** 2)
    plateau = 0.35 / (1 + np.exp((np.hypot(x - 0.4, y - 0.7) - 0.12) / 0.015))
    land = plain > SEA
    return np.clip(plain + (ridge + plateau) * land, 0, 1)


def band_slope(h, shortest, longest):
    """Log-log slope of the centre half's radially averaged power spectrum
    between two wavelengths (cells): plane removed, Hann window."""
    n = h.shape[0]
    c = h[n // 4:3 * n // 4, n // 4:3 * n // 4].astype(np.float64)
    w = c.shape[0]
    y, x = np.mgrid[0:w, 0:w]
    plane = np.c_[x.ravel(), y.ravel(), np.ones(w * w)]
    c = c - (plane @ np.linalg.lstsq(plane, c.ravel(), rcond=None)[0]).reshape(w, w)
    power = np.abs(np.fft.fft2(c * np.outer(np.hanning(w), np.hanning(w)))) ** 2
    f = np.fft.fftfreq(w)
    radius = np.hypot(*np.meshgrid(f, f, indexing="ij"))
    edges = np.logspace(np.log10(1 / longest), np.log10(1 / shortest), 9)
    logf, logp = [], []
    for lo, hi in zip(edges[:-1], edges[1:]):
        ring = (radius >= lo) & (radius < hi)
        logf.append(np.log10(np.sqrt(lo * hi)))
        logp.append(np.log10(power[ring].mean()))
    return np.polyfit(logf, logp, 1)[0]


shape = sketch()
mem = gdal.GetDriverByName("MEM").Create("", SIDE, SIDE, 1, gdal.GDT_UInt16)
mem.GetRasterBand(1).WriteArray(np.round(shape * 65535).astype(np.uint16))
gdal.GetDriverByName("PNG").CreateCopy("sketch.png", mem)
subprocess.run([tool, "--shape", "sketch.png", "--size", str(N), "--roughness", "0.62", "--sharpness", "0.25",
                "--erosion", "1", "--format", "f32", "--meta", "--out", "shaped.f32"], check=True)
heights = np.fromfile("shaped.f32", dtype="<f4").reshape(N, N)[::-1]  # north row first, as the sketch

slope = band_slope(heights, N / 32, N / 8)
# The sketch on the map's cells (its samples span the map edge to edge), then
# both as block means.
at = np.arange(N) * (SIDE - 1) / (N - 1)
i = np.minimum(at.astype(int), SIDE - 2)
f = at - i
rows = shape[i] * (1 - f)[:, None] + shape[i + 1] * f[:, None]
drawn = rows[:, i] * (1 - f) + rows[:, i + 1] * f
k = (N - 1) // 16


def blocks(a):
    return a[:16 * k, :16 * k].reshape(k, 16, k, 16).mean(axis=(1, 3))


made, meant = blocks(heights), blocks(drawn)
laplacian = (heights[1:-1, 2:] + heights[1:-1, :-2] + heights[2:, 1:-1] + heights[:-2, 1:-1]
             - 4 * heights[1:-1, 1:-1])
inner = drawn[1:-1, 1:-1]
grain = laplacian[(inner > 0.02) & (inner < 0.12)].std() / laplacian[inner > 0.3].std()
r = np.corrcoef(made.ravel(), meant.ravel())[0, 1]
agree = np.mean((made > SEA) == (meant > SEA))
z, cell = measure.load("shaped.f32", SEA)
centre = measure.measure(measure.crop_centre(z, (N - 1) // 2 + 1), cell)
theta, fine = centre["theta"], centre["spec_fine"]
print("band slope %.2f (at least -5.5), blocks r %.3f (at least 0.95), land and sea agree %.3f (at least 0.95), "
      "plain's grain %.2f (at most 0.4), theta %.2f (at most 0.8), fine slope %.2f (at most -3.3)"
      % (slope, r, agree, grain, theta, fine))
failed = [name for name, ok in [("band slope", slope >= -5.5), ("form", r >= 0.95), ("coast", agree >= 0.95),
                                ("plain's grain", grain <= 0.4), ("theta", theta <= 0.8),
                                ("fine slope", fine <= -3.3)] if not ok]
if failed:
    print("FAILED:", ", ".join(failed))
    sys.exit(1)
