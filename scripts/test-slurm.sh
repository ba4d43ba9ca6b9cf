#!/bin/bash
# Starts a one-node Slurm cluster on this machine from Debian's slurm-wlm and
# munge (munge with a key of its own, slurmctld and slurmd started directly,
# not through systemd), submits a 16-tile eroded world named with a quote, a
# '#' and a space through the tool's own --print-slurm submit script (its
# stage's job, then the job array depending on it), waits for both, and
# checks that each task wrote its own log and every tile and the stage file
# against the same files written here and the world, read by GDAL through
# the VRT, against the one-file eroded map. The daemons are stopped and the
# scratch directory removed on every exit path.
#
# Usage (as root: the daemons run as root): scripts/test-slurm.sh [BUILD_DIR]
# BUILD_DIR defaults to build/ and must hold orvandel-heightmap.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
tool="$build/orvandel-heightmap"
[ -x "$tool" ] || { echo "test-slurm: no $tool; build first" >&2; exit 2; }
for program in munged mungekey slurmctld slurmd sbatch scontrol sinfo squeue scancel gdal_translate; do
    command -v "$program" > /dev/null || { echo "test-slurm: $program is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
[ "$(id -u)" -eq 0 ] || { echo "test-slurm: run as root (the daemons run as root)" >&2; exit 2; }

work=$(mktemp -d /tmp/orvandel-slurm.XXXXXX)
munged_pid=""
slurmctld_pid=""
slurmd_pid=""
waiting_pid=""

# Runs a long command in the background and waits for it, so that a signal
# reaches the trap at once rather than when the command ends.
run_waiting() {
    "$@" &
    waiting_pid=$!
    local status=0
    wait "$waiting_pid" || status=$?
    waiting_pid=""
    return "$status"
}

stop() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$waiting_pid" ]; then
        kill "$waiting_pid" 2> /dev/null || true
        wait "$waiting_pid" 2> /dev/null || true
    fi
    if [ -n "$slurmctld_pid" ]; then
        scancel --quiet --full --user=root 2> /dev/null || true
    fi
    for pid in $slurmd_pid $slurmctld_pid $munged_pid; do
        kill "$pid" 2> /dev/null || true
    done
    for pid in $slurmd_pid $slurmctld_pid $munged_pid; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2> /dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2> /dev/null; then
            kill -KILL "$pid" 2> /dev/null || true
        fi
        wait "$pid" 2> /dev/null || true
    done
    if [ "$status" -ne 0 ]; then
        for log in "$work"/*.log; do
            [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; } >&2
        done
    fi
    rm -rf "$work"
    exit "$status"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() {
    echo "test-slurm: $*" >&2
    exit 1
}

# munge, with a key of its own and every file in the scratch directory.
mungekey --create --keyfile="$work/munge.key" 2> /dev/null ||
    dd if=/dev/urandom of="$work/munge.key" bs=1024 count=1 status=none
chmod 600 "$work/munge.key"
munged --foreground --force --key-file="$work/munge.key" --socket="$work/munge.socket" \
    --pid-file="$work/munged.pid" --log-file="$work/munged.log" --seed-file="$work/munged.seed" \
    > "$work/munged.out.log" 2>&1 &
munged_pid=$!

node=$(hostname -s)
# More CPUs than the machine has (config_overrides lets the node say so), so
# every task of the array starts at once instead of a scheduling round at a
# time; each is small.
cpus=8
memory=$(awk '/^MemTotal:/ { print int($2 / 1024 * 0.8) }' /proc/meminfo)
port=$((20000 + $$ % 20000))
mkdir -p "$work/state" "$work/spool" "$work/out-slurm" "$work/out-local"
cat > "$work/slurm.conf" << EOF
ClusterName=orvandel-test
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$work/munge.socket
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
ReturnToService=2
SlurmdParameters=config_overrides
PlugStackConfig=$work/plugstack.conf
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
: > "$work/plugstack.conf"
# Slurm 23.02 and later set up cgroups in slurmd whatever the plugins (and a
# chroot or a container may have none mounted); they can be switched off
# there. 22.05 (Debian 12) neither needs nor knows the setting.
slurm_major=$(slurmd -V | awk '{ split($2, v, "."); print v[1] }')
if [ "$slurm_major" -ge 23 ]; then
    echo "CgroupPlugin=disabled" > "$work/cgroup.conf"
fi
export SLURM_CONF="$work/slurm.conf"

for _ in $(seq 50); do
    [ -S "$work/munge.socket" ] && break
    sleep 0.1
done
[ -S "$work/munge.socket" ] || fail "munged did not start"

slurmctld -D -i -f "$SLURM_CONF" > "$work/slurmctld.out.log" 2>&1 &
slurmctld_pid=$!
slurmd -D -f "$SLURM_CONF" -N "$node" > "$work/slurmd.out.log" 2>&1 &
slurmd_pid=$!

started=""
for _ in $(seq 150); do
    if [ "$(sinfo --noheader --format=%t 2> /dev/null)" = "idle" ]; then
        started=yes
        break
    fi
    sleep 0.2
done
[ -n "$started" ] || fail "the node did not come up within 30 s"

# The world: 2049 cells, eroded (its stage is the 1025 lattice, so the
# tiles are made through the levels below it), in tiles of 513, 16 tiles, two
# a task, as GeoTIFF tiles with the VRT. The submit script is the tool's own.
terrain=(--seed slurm --roughness 0.62 --sharpness 0.25 --erosion 1 --size 2049)
world=("${terrain[@]}" --tile-size 513 --tiles-per-task 2 --layout gis --threads 1)
# A name Slurm would misread if written raw into #SBATCH lines: a quote
# (unmatched), a '#' (the rest of the line dropped, one log for every task)
# and a space.
set_name="it's #1 w"
(cd "$work/out-slurm" && "$tool" "${world[@]}" --out "$set_name" --print-slurm > submit.sh)
grep -q '^#SBATCH --array=0-7$' "$work/out-slurm/submit.sh" || fail "the array does not ask for tasks 0 to 7"
grep -q '^#SBATCH --job-name=orvandel-it_s__1_w$' "$work/out-slurm/submit.sh" || fail "the job name is not made safe"
grep -q -- '--dependency=afterok:' "$work/out-slurm/submit.sh" || fail "the array does not wait for the stage"
cd "$work/out-slurm"
submitted=$(sh submit.sh) || fail "the submit script failed: $submitted"
stage_id=$(echo "$submitted" | sed -n 's/^stage job: //p')
tiles_id=$(echo "$submitted" | sed -n 's/^tiles job array: //p')
[ -n "$stage_id" ] && [ -n "$tiles_id" ] || fail "the submit script did not name both jobs: $submitted"
# The array is held on the stage's job (Slurm drops the dependency once it is
# met, so a stage already done is the other way to pass).
dependency=$(scontrol show job "$tiles_id" | grep -o 'Dependency=[^ ]*' | head -n 1)
case "$dependency" in
    *afterok:"$stage_id"*) ;;
    *) scontrol show job "$stage_id" | grep -q 'JobState=COMPLETED' ||
        fail "the array does not depend on the stage's job: $dependency" ;;
esac
waited=0
while [ -n "$(squeue --noheader --jobs="$stage_id,$tiles_id" 2> /dev/null)" ]; do
    [ "$waited" -lt 1500 ] || fail "the jobs did not finish within 150 s"
    sleep 0.1
    waited=$((waited + 1))
done
for job in "$stage_id" "$tiles_id"; do
    if scontrol show job "$job" | grep -o 'JobState=[A-Z_]*' | grep -qv 'JobState=COMPLETED'; then
        fail "job $job did not complete: $(scontrol show job "$job" | grep -o 'JobState=[A-Z_]*' | sort -u | tr '\n' ' ')"
    fi
done
cd /
logs=$(find "$work/out-slurm" -name 'orvandel-it_s__1_w-*_*.log' | wc -l)
[ "$logs" -eq 8 ] || fail "expected a log for each of the 8 tasks, found $logs"
[ -n "$(find "$work/out-slurm" -name 'orvandel-it_s__1_w-stage-*.log')" ] || fail "the stage's job left no log"

# The same files written here, without the scheduler (the stage made by the
# run itself).
(cd "$work/out-local" && "$tool" "${world[@]}" --out "$set_name") || fail "the local tiles were not written"
count=0
for local in "$work/out-local/$set_name"_*.tif "$work/out-local/$set_name.tiles.json" "$work/out-local/$set_name.vrt" \
    "$work/out-local/$set_name.stage" "$work/out-local/$set_name.set"; do
    name=$(basename "$local")
    cmp -s "$local" "$work/out-slurm/$name" || fail "$name from the job array differs from the local one"
    count=$((count + 1))
done
[ "$count" -eq 20 ] || fail "expected 16 tiles, the manifest, the VRT, the stage and the set's record, found $count files"

# The world through GDAL, cell for cell the one-file eroded map.
"$tool" "${terrain[@]}" --format f32 --rows top --out "$work/whole.f32" || fail "the one-file map was not written"
gdal_translate -q -of ENVI "$work/out-slurm/$set_name.vrt" "$work/from-vrt.raw" || fail "GDAL cannot read the VRT"
cmp -s "$work/from-vrt.raw" "$work/whole.f32" || fail "the job array's world differs from the one-file map"

echo "test-slurm: an eroded world \"$set_name\": its stage's job, then 16 tiles from an 8-task array after it, a log a task, match the local files and the whole map"
