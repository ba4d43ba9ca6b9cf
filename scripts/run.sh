#!/bin/sh
# Installs what is missing, builds the viewer and runs it from build/, where
# it finds font.tga. With a display it opens the window there; without one
# it runs on a private X server for a few seconds, quits it with Escape and
# leaves a screenshot, build/orvandel-screenshot.png.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2 --target orvandel orvandel_font_image orvandel-headless

if [ -n "${DISPLAY:-}" ]; then
  cd build
  # Debian's SDL 1.2 may otherwise pick a text-mode driver that has no OpenGL.
  SDL_VIDEODRIVER=x11 exec ./orvandel
fi

echo "No DISPLAY: running the viewer on a private X server."
status=0
shot=$(build/orvandel-headless --wait 3 --output "$root/build/orvandel-screenshot.png" "$root/build/orvandel") || status=$?
if [ "$status" -eq 0 ]; then
  echo "Screenshot: $(printf '%s\n' "$shot" | tail -n 1)"
else
  printf '%s\n' "$shot"
  echo "The viewer ended with exit code $status." >&2
fi
exit "$status"
