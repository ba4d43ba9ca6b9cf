"""The realism measurement tells a lattice when there is one: synthetic
surfaces whose answers are known, measured by bench/realism/measure.py.
Exits 77 (CTest: skipped) when numpy is missing.

Usage: measure_selftest.py MEASURE_DIR
"""
import sys

try:
    import numpy as np
except ImportError:
    print("SKIPPED: numpy is not installed for %s (Debian: python3-numpy)" % sys.executable)
    sys.exit(77)

sys.path.insert(0, sys.argv[1])
import measure  # noqa: E402


def isotropic(n, beta, seed):
    """A surface whose power spectrum is |f|^-beta in every direction."""
    rng = np.random.default_rng(seed)
    f = np.hypot(*np.meshgrid(np.fft.fftfreq(n), np.fft.fftfreq(n)))
    f[0, 0] = 1.0
    amp = f ** (-beta / 2)
    amp[0, 0] = 0.0
    z = np.real(np.fft.ifft2(amp * np.exp(2j * np.pi * rng.random((n, n)))))
    return 1000.0 * z / z.std()


def bilinear_doubled(z):
    """Every other row and column interpolated: the staircase of a coarse
    level showing through a finer one."""
    n = z.shape[0]
    out = np.empty((2 * n - 1, 2 * n - 1))
    out[::2, ::2] = z
    out[1::2, ::2] = 0.5 * (z[:-1] + z[1:])
    out[:, 1::2] = 0.5 * (out[:, :-2:2] + out[:, 2::2])
    return out


rows = np.arange(300)[:, None]
cols = np.arange(300)[None, :]
smooth = isotropic(512, 4.0, 7)
CASES = [
    # (name, heights in metres, cell, {figure: (lowest, highest)})
    ("a plane falling east", 1000.0 - 3.0 * cols + 0.0 * rows, 10.0,
     {"straight_runs": (0.999, 1.0), "aspect_h4": (0.999, 1.0), "aspect_h8": (0.999, 1.0),
      "median_slope": (16.6, 16.8), "mean_run": (240.0, 256.0)}),
    ("an isotropic |f|^-4 surface", smooth, 10.0,
     {"curv_ratio_mod2": (1.0, 1.05), "curv_ratio_mod4": (1.0, 1.10), "aspect_h4": (0.0, 0.05),
      "aspect_h8": (0.0, 0.05), "spec_large": (-4.6, -3.4), "spec_fine": (-4.6, -3.4), "spec_h4": (0.0, 0.05),
      "spec_h8": (0.0, 0.05), "curv_skew": (-0.1, 0.1)}),
    # A bay of sea (NaN) in the east third: the spectrum is the land's, not
    # the coast's step (filled with the land's mean, it fell as f^-2).
    ("the same surface with a bay", np.where(np.hypot(rows - 150.0, cols - 330.0) < 140.0, np.nan,
                                              smooth[:300, :300]), 10.0,
     {"spec_large": (-4.8, -3.2), "spec_fine": (-4.6, -3.4), "spec_h4": (0.0, 0.08)}),
    # All the fine band's power on the axes (wavelength 4 cells along x and y).
    ("waves along the axes", smooth[:256, :256] + 50.0 * (np.cos(np.pi / 2 * np.arange(256))[None, :]
                                                          + np.cos(np.pi / 2 * np.arange(256))[:, None]), 10.0,
     {"spec_h4": (0.9, 1.0), "spec_h8": (0.9, 1.0)}),
    # One-cell grooves, 200 m deep, every 16th column of a smooth surface.
    ("the same surface grooved", smooth - 200.0 * (np.arange(512) % 16 == 0)[None, :], 10.0,
     {"curv_skew": (1.0, float("inf"))}),
    ("the same, coarse cells interpolated", bilinear_doubled(smooth[:256, :256]), 10.0,
     {"curv_ratio_mod2": (1.5, float("inf"))}),
    # Rows draining east: a cell's area is its column + 1 cells and its
    # upstream length its column, so S = 0.1 (c + 1)^-0.45 gives θ 0.45 and
    # Hack 1.
    ("channels with S = 0.1 A^-0.45", np.repeat(-0.1 / 0.55 * np.arange(1.0, 2001.0)[None, :] ** 0.55, 12, 0)
     * 10.0, 10.0, {"theta": (0.43, 0.47), "hack": (0.97, 1.03), "straight_runs": (0.999, 1.0)}),
]

failed = 0
for name, z, cell, bounds in CASES:
    figures = measure.measure(np.asarray(z, dtype=np.float64), cell)
    for key, (lo, hi) in bounds.items():
        ok = lo <= figures[key] <= hi
        failed += not ok
        print("%-38s %-16s %8.3f in [%g, %g] %s" % (name, key, figures[key], lo, hi, "ok" if ok else "FAILED"))
sys.exit(1 if failed else 0)
