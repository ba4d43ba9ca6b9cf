#!/bin/sh
# Runs the test command, ./scripts/test.sh, on a fresh minimal Debian 13
# (trixie) made here with debootstrap, so a Debian 12 machine checks both
# releases. Needs root (it re-runs itself with sudo otherwise).
#
# The test command includes scripts/check-package.sh, so the Debian package
# is built in the root, installed there with apt, checked from /tmp (the
# tool on PATH, man -w, the bash completion) and removed: the package is
# checked on this fresh Debian 13 as well as on the host.
#
# The tested tree is the repository's committed HEAD (git archive), so
# uncommitted changes are not part of the run. The root is made anew each
# run in ORVANDEL_TRIXIE_ROOT (default /var/tmp/orvandel-trixie) and removed
# after a passing run (kept after a failing one, or with
# ORVANDEL_TRIXIE_KEEP=1, for a look inside). The mirror is the host's own
# Debian mirror from its apt sources, or ORVANDEL_TRIXIE_MIRROR.
# FUZZ_TGA_SECONDS is passed on to the test command.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
target=${ORVANDEL_TRIXIE_ROOT:-/var/tmp/orvandel-trixie}
keep=${ORVANDEL_TRIXIE_KEEP:-0}

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=ORVANDEL_TRIXIE_ROOT,ORVANDEL_TRIXIE_KEEP,ORVANDEL_TRIXIE_MIRROR,FUZZ_TGA_SECONDS "$0" "$@"
fi

say() { echo "test-debian13: $*"; }
elapsed() { echo "$(( $(date +%s) - started ))s"; }
started=$(date +%s)

# The first Debian archive (not its security archive) in the host's apt
# sources, in either the deb822 or the one-line format.
host_mirror() {
  {
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
      sed -n 's/^URIs:[[:space:]]*//p' | tr ' ' '\n'
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([^[:space:]]*\).*/\2/p'
  } | grep -E '^(https?|file)://' | grep -v -- '-security' | head -n 1
}
mirror=${ORVANDEL_TRIXIE_MIRROR:-$(host_mirror)}
if [ -z "$mirror" ]; then
  echo "test-debian13: no Debian mirror in the apt sources; set ORVANDEL_TRIXIE_MIRROR." >&2
  exit 2
fi

if ! command -v debootstrap >/dev/null 2>&1; then
  say "installing debootstrap"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends debootstrap
fi

# One run at a time per root: a second would unmount under the first.
mkdir -p "$(dirname "$target")"
exec 9>"$target.lock"
if ! flock -n 9; then
  echo "test-debian13: $target is in use by another run." >&2
  exit 2
fi

# Mounted file systems under the root, deepest first.
mounts_under() {
  awk -v root="$target" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts | sort -r
}

# Processes a run leaves behind inside the root (a stray X server) would keep
# its mounts busy; they are this run's own, found by their root directory.
stop_leftovers() {
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$target" ]; then
      kill -KILL "${proc#/proc/}" 2>/dev/null || true
    fi
  done
}

unmount_all() {
  stop_leftovers
  for point in $(mounts_under); do
    umount "$point" 2>/dev/null || umount -l "$point" || true
  done
}

remove_root() {
  unmount_all
  if [ -n "$(mounts_under)" ]; then
    echo "test-debian13: cannot remove $target, still mounted:" $(mounts_under) >&2
    return 1
  fi
  # --one-file-system: never follow into anything still mounted there.
  rm -rf --one-file-system "$target"
}

status=1
finish() {
  trap - EXIT INT TERM
  unmount_all
  if [ "$status" -eq 0 ] && [ "$keep" != 1 ]; then
    remove_root || status=1
  elif [ -d "$target" ]; then
    say "kept $target"
  fi
  say "total $(elapsed)"
  exit "$status"
}
trap finish EXIT
trap 'status=130; finish' INT
trap 'status=143; finish' TERM

if [ -e "$target" ]; then
  say "removing the previous root"
  remove_root
fi

say "debootstrap trixie from $mirror into $target"
debootstrap --variant=minbase trixie "$target" "$mirror" >"$target.debootstrap.log" 2>&1 || {
  tail -n 20 "$target.debootstrap.log" >&2
  exit 1
}
say "debootstrap done at $(elapsed)"

# Name resolution for apt inside, and no services started by package scripts.
cp /etc/resolv.conf "$target/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$target/usr/sbin/policy-rc.d"
chmod 755 "$target/usr/sbin/policy-rc.d"
# The root lives for one run and is removed after it, so dpkg need not sync
# every file it unpacks to the disk (the same files land either way).
echo force-unsafe-io >"$target/etc/dpkg/dpkg.cfg.d/orvandel-unsafe-io"

commit=$(git -C "$repo" rev-parse HEAD)
mkdir -p "$target/src/orvandel"
git -C "$repo" archive --format=tar HEAD | tar -x -C "$target/src/orvandel"
say "testing commit $commit"

mount -t proc proc "$target/proc"
mount -t sysfs -o ro sysfs "$target/sys"
mount --bind /dev "$target/dev"
mount --bind /dev/pts "$target/dev/pts"
mount -t tmpfs -o mode=1777 tmpfs "$target/dev/shm"

in_root() {
  chroot "$target" /usr/bin/env -i \
    HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" \
    ${FUZZ_TGA_SECONDS:+FUZZ_TGA_SECONDS="$FUZZ_TGA_SECONDS"} \
    sh -c "cd /src/orvandel && $1" &
  # Waiting on a background job lets a signal's trap run at once; the trap
  # ends everything inside the root.
  wait $!
}

# The packages first, on their own, to time them; the test command's own
# install step then finds nothing missing.
status=0
in_root ./scripts/install-deps.sh || status=$?
say "packages installed at $(elapsed)"
if [ "$status" -eq 0 ]; then
  in_root ./scripts/test.sh || status=$?
fi

if [ "$status" -eq 0 ]; then
  say "Debian 13: all tests passed, the package installed with apt and checked ($(elapsed))"
else
  echo "test-debian13: Debian 13: the test command failed with status $status ($(elapsed))" >&2
fi
