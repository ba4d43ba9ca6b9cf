#!/bin/sh
# The test command: installs what is missing, builds, and runs every test
# through CTest, first in the normal build, then in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, with a bounded fuzz run of
# the TGA reader beside that build's end-to-end tests. After the first
# build's tests it also makes the Debian package, installs it and checks it
# (scripts/check-package.sh), and runs a world's tiles as a job array on a
# one-node Slurm cluster (scripts/test-slurm.sh).
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=2

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
# The end-to-end tests each start their own Xvfb and time the viewer, so they
# run one at a time; the rest in parallel.
(cd build && ctest --output-on-failure -j"$jobs" -LE e2e)
(cd build && ctest --output-on-failure -L e2e)
# The Debian package made from that build, installed with apt, checked from
# /tmp (the programs, the manual pages, the completion) and removed.
./scripts/check-package.sh build
# A one-node Slurm cluster from Debian's packages runs a 16-tile world as a
# job array; its tiles are checked against local ones and the whole map.
./scripts/test-slurm.sh build

# The same tests in the sanitizer build.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANDEL_SANITIZE=ON -DORVANDEL_BENCH=OFF
cmake --build build-asan -j"$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The realism checks measure statistics of the same bits the normal build
# made (every stage is deterministic); under the sanitizers they would only
# be slow, so they run once, above. So do the "large" tests, checks of the
# full-size eroded worlds whose small versions run here on the same code
# (tests/CMakeLists.txt).
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE "e2e|realism|large")

# The end-to-end tests, one at a time, keep about one core busy, and the fuzz
# run (a small clang build, then its minute on one core) the other, so the
# two run side by side; the fuzz run's output is shown when both are done.
fuzz=""
if [ -x scripts/fuzz-tga.sh ]; then
    FUZZ_TGA_SECONDS="${FUZZ_TGA_SECONDS:-60}" ./scripts/fuzz-tga.sh >build-asan/fuzz-tga.log 2>&1 &
    fuzz=$!
fi
# The viewer under Xvfb keeps memory that libX11 and Mesa allocate for
# themselves until exit (visual lists, driver modules); it is not ours to free,
# so leak checking is off there and only there.
e2e=0
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -L e2e) || e2e=$?
fuzzed=0
if [ -n "$fuzz" ]; then
    wait "$fuzz" || fuzzed=$?
    cat build-asan/fuzz-tga.log
fi
if [ "$e2e" -ne 0 ] || [ "$fuzzed" -ne 0 ]; then
    echo "test.sh: the sanitizer build's end-to-end tests ended with $e2e, the fuzz run with $fuzzed" >&2
    exit 1
fi
echo "All tests passed."
