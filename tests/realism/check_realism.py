"""CI check that the recommended terrain does not show the lattice again:
makes a 2049 map with the tool, measures its centre 1025 cells at their own
grain with bench/realism/measure.py, and fails on any figure outside the
bounds the README gives (section "How real the land reads"). Exits 77, which
CTest reports as skipped, when numpy is missing.

Usage: check_realism.py TOOL MEASURE_DIR WORK_DIR
"""
import os
import subprocess
import sys

try:
    import numpy  # noqa: F401
except ImportError:
    print("SKIPPED: numpy is not installed for %s (Debian: python3-numpy, see scripts/install-deps.sh)"
          % sys.executable)
    sys.exit(77)

tool, measure_dir, work = sys.argv[1:4]
# With --world-levels, TOOL is the test's world-levels program: a 2049 world
# made from a 1025 stage, one level below it, as 8193 is below the tool's;
# with --two-levels, from a 513 stage.
levels = "--world-levels" in sys.argv[4:]
sys.path.insert(0, measure_dir)
import measure  # noqa: E402

# (figure, lowest, highest): the README's bounds. theta, Hack, straight runs,
# curvature by lattice class and the slope shares are the targets set for
# the recommended terrain; the fine-scale spectrum slope and the aspect
# harmonics are set from the real DEMs measured (fine slope -3.1 to -6.2 but
# for one rainforest DEM; harmonics at most 0.08 and 0.03).
BOUNDS = [
    ("theta", 0.30, 0.60),
    ("hack", 0.45, 0.65),
    ("straight_runs", 0.0, 0.05),
    ("curv_ratio_mod2", 1.0, 1.08),
    ("curv_ratio_mod4", 1.0, 1.08),
    ("spec_fine", float("-inf"), -3.0),
    ("mean_run", 1.0, 2.1),
    ("curv_skew", -1.0, 0.1),
    ("aspect_h4", 0.0, 0.10),
    ("aspect_h8", 0.0, 0.05),
    ("spec_h4", 0.0, 0.10),
    ("spec_h8", 0.0, 0.05),
    ("sloped_5_45", 0.50, 1.0),
    ("flat_lt_1", 0.0, 0.05),
]

# Below the stage each level cuts its own channels by passes of bounded
# reach (README, "Eroded worlds above 4097 cells"), but its curvature, fine
# spectrum and 4-fold harmonic are not yet the one-machine maps': they are
# held to the figures those levels keep, with a margin, so that the check
# fails when straight runs, the 4-fold preference or the one-cell grooves
# come back (no passes: straight runs 9.1 % one level below; 0.6's bilinear
# refinement gave a mod-2 spread of 2.39; without the brought area's spread,
# curvature skewness 0.18 and 0.75). The spread costs the fine spectrum one
# level below a little (-1.41 before, -1.19 with it).
WORLD_LEVEL_BOUNDS = {
    "straight_runs": (0.0, 0.04),
    "mean_run": (1.0, 2.0),
    "curv_ratio_mod2": (1.0, 1.12),
    "curv_ratio_mod4": (1.0, 1.13),
    "curv_skew": (-1.0, 0.15),
    "spec_fine": (float("-inf"), -1.1),
    "spec_h4": (0.0, 0.12),
    "spec_h8": (0.0, 0.06),
}
# Two levels below a 513 stage, as 16385 is below the tool's. The second
# level eases its coarser cells (kSecondLevelEase): without it the mod-2
# spread is 1.23 and the mod-4 1.25 (1.12 and 1.15 with it), and the skew
# 0.53 (0.58).
TWO_LEVEL_BOUNDS = dict(WORLD_LEVEL_BOUNDS, straight_runs=(0.0, 0.065), mean_run=(1.0, 2.25),
                        curv_ratio_mod2=(1.0, 1.16), curv_ratio_mod4=(1.0, 1.19), curv_skew=(-1.0, 0.6),
                        spec_fine=(float("-inf"), -3.0), spec_h4=(0.0, 0.09), spec_h8=(0.0, 0.08))
stage_cells = "1025"
if "--two-levels" in sys.argv[4:]:
    levels, stage_cells, WORLD_LEVEL_BOUNDS = True, "513", TWO_LEVEL_BOUNDS
if levels:
    BOUNDS = [(key, *WORLD_LEVEL_BOUNDS.get(key, (lo, hi))) for key, lo, hi in BOUNDS]

os.makedirs(work, exist_ok=True)
out = os.path.join(work, "realism2049.f32")
if levels:
    subprocess.run([tool, "2049", stage_cells, out], check=True)
else:
    subprocess.run([tool, "--size", "2049", "--roughness", "0.62", "--sharpness", "0.25", "--erosion", "1",
                    "--format", "f32", "--meta", "--out", out], check=True)
z, cell = measure.load(out, 0.01)
figures = measure.measure(measure.crop_centre(z, 1025), cell)
failed = []
for key, lo, hi in BOUNDS:
    ok = lo <= figures[key] <= hi
    print("%-16s %8.3f  in [%g, %g]  %s" % (key, figures[key], lo, hi, "ok" if ok else "FAILED"))
    if not ok:
        failed.append(key)
os.remove(out)
os.remove(out + ".json")
if failed:
    print("the lattice shows: %s outside their bounds" % ", ".join(failed))
    sys.exit(1)
