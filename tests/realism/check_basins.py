"""CI check that erosion keeps the land of a deep closed basin instead of
burying it: the built-in continent, whose northern lowland is a basin
about 300 m deep in its large shape, eroded at 1025 with the recommended
options. Against the same map with no erosion (times 255/256, the headroom
erosion scales heights by), at most 0.5 % of the land may end more than
0.05 of the relief (100 m at the default) above where it stood. With every
depression filled, 4.1 % did: the basin under a flat as wide as itself,
which the preview showed as a plain of grain with no river. Numpy alone
reads the maps (no code shared with the tool).

Exits 77 (skipped) without numpy. Usage: check_basins.py TOOL WORK_DIR"""
import os
import subprocess
import sys

try:
    import numpy as np
except ImportError:
    print("SKIPPED: numpy is missing (python3-numpy)")
    sys.exit(77)

tool, work = sys.argv[1:3]
os.makedirs(work, exist_ok=True)
N, SEA, DEEP, MOST = 1025, 0.01, 0.05, 0.005


def made(erosion):
    out = os.path.join(work, "continent-e%s.f32" % erosion)
    subprocess.run([tool, "--size", str(N), "--shape", "builtin:continent", "--roughness", "0.62",
                    "--sharpness", "0.25", "--erosion", erosion, "--format", "f32", "--out", out], check=True)
    return np.fromfile(out, dtype="<f4").astype(np.float64)


raw = made("0") * 255.0 / 256.0
eroded = made("1")
land = eroded > SEA
buried = float(np.mean(eroded[land] - raw[land] > DEEP))
print("land buried more than %.2f of the relief: %.4f (at most %.4f)" % (DEEP, buried, MOST))
if not buried <= MOST:
    print("FAILED: a deep basin was filled")
    sys.exit(1)
