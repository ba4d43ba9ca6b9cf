#!/bin/sh
# The test command: installs what is missing, builds, and runs every test
# through CTest, first in the normal build, then in a build with
# AddressSanitizer and UndefinedBehaviorSanitizer, then a bounded fuzz run of
# the TGA reader.
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

# The sanitizer build runs the unit and drawing tests. The end-to-end tests
# stay in the normal build: under the sanitizers Mesa's software renderer is
# too slow for the viewer to keep its frame timing, and the driver's own
# allocations are not ours to check.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORVANDEL_SANITIZE=ON -DORVANDEL_BENCH=OFF
cmake --build build-asan -j"$jobs"
(cd build-asan && UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --output-on-failure -j"$jobs" -LE e2e)

if [ -x scripts/fuzz-tga.sh ]; then
    FUZZ_TGA_SECONDS="${FUZZ_TGA_SECONDS:-60}" ./scripts/fuzz-tga.sh
fi
echo "All tests passed."
