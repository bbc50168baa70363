#!/usr/bin/env bash
# Wall time of whole "vantctl --getchanlock" runs while the daemon already
# runs, next to the 500 ms for which vantctl's run check watches a running
# daemon before it attaches. Runs itself in a network and PID namespace of its
# own (tests/tools/in_netns), starts the simulated daemon there and leaves
# nothing behind: every process of the namespace ends with the script.
#
# Usage: bench/vantctl_wall.sh [-n RUNS] [-b BIN_DIR] [-m MODEM] [-s SCENARIO]
#   -n RUNS      timed runs (default 50), after one untimed warm-up run
#   -b BIN_DIR   where vantctl and vantsdk-sim are (default: build/bin)
#   -m MODEM     modem index (default 0)
#   -s SCENARIO  the emulator's scenario, a name or a file (default: the
#                emulator's own default, whose modem takes 5 ms per answer;
#                bench/roundtrip/zero-latency.json answers at once)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=50
bin_dir=$repo/build/bin
modem=0
scenario=
while getopts "n:b:m:s:h" option; do
  case $option in
    n) runs=$OPTARG ;;
    b) bin_dir=$OPTARG ;;
    m) modem=$OPTARG ;;
    s) scenario=$OPTARG ;;
    *) sed -n '2,15s/^# \{0,1\}//p' "$0"; exit 2 ;;
  esac
done
if ! [[ $runs =~ ^[1-9][0-9]*$ && $modem =~ ^([0-9]|1[01])$ ]]; then
  echo "vantctl_wall: -n takes a count of runs and -m a modem index from 0 to 11" >&2
  exit 2
fi
bin_dir=$(cd "$bin_dir" && pwd)
for program in vantctl vantsdk-sim; do
  [[ -x $bin_dir/$program ]] || { echo "vantctl_wall: no $bin_dir/$program (build it first)" >&2; exit 1; }
done

# Abstract socket names are shared by a whole network namespace: never meet
# a real daemon, nor another run of this script.
if [[ -z ${VANT_WALL_IN_NETNS:-} ]]; then
  export VANT_WALL_IN_NETNS=1
  exec "$repo/tests/tools/in_netns" bash "$0" -n "$runs" -b "$bin_dir" -m "$modem" ${scenario:+-s "$scenario"}
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The daemon, in the foreground so that the script knows when it is up:
# /proc/net/unix lists the sockets of this namespace, its presence socket too.
"$bin_dir/vantsdk-sim" --foreground ${scenario:+"--simulate=$scenario"} "$modem" 2>"$work/daemon.log" &
for ((tries = 0; ; ++tries)); do
  grep -q "@KEL${modem}_SDK_SOCKET_MUTEX" /proc/net/unix && break
  if ((tries == 100)) || ! kill -0 $! 2>/dev/null; then
    echo "vantctl_wall: the daemon did not come up:" >&2
    cat "$work/daemon.log" >&2
    exit 1
  fi
  sleep 0.05
done

run_vantctl() {
  "$bin_dir/vantctl" -s "$bin_dir/vantsdk-sim" -d "$modem" --getchanlock >"$work/out" 2>&1
}
check_output() {
  if ! grep -q "VANTNASKelGetChannelLock returns 0" "$work/out"; then
    echo "vantctl_wall: vantctl did not read the channel lock:" >&2
    cat "$work/out" >&2
    exit 1
  fi
}

# A process that only starts and ends: vantctl stopped by an unknown option
# before it does anything else.
run_startup_only() {
  "$bin_dir/vantctl" --vantctl-wall-unknown-option >"$work/out" 2>&1 || true
}

# Prints the wall time of each of $runs calls of $1, in milliseconds, sorted.
time_runs() {
  for ((i = 0; i < runs; ++i)); do
    start=$EPOCHREALTIME
    "$1"
    end=$EPOCHREALTIME
    [[ $1 != run_vantctl ]] || check_output
    echo "$start $end"
  done | awk '{ printf "%.3f\n", ($2 - $1) * 1000 }' | sort -n
}

# min, median, mean, p99 (nearest rank) and max of sorted times.
summarise() {
  awk '
    { t[NR] = $1; sum += $1 }
    function rank(q) { r = int(q * NR); if (r < q * NR) r++; if (r < 1) r = 1; return t[r] }
    END { printf "%.1f %.1f %.1f %.1f %.1f\n", t[1], rank(0.5), sum / NR, rank(0.99), t[NR] }' "$1"
}

run_vantctl
check_output
time_runs run_vantctl >"$work/times"
time_runs run_startup_only >"$work/startup"
read -r min median mean p99 max < <(summarise "$work/times")
read -r _ startup_median _ _ _ < <(summarise "$work/startup")

window=500
echo "vantctl --getchanlock, $runs runs with the daemon running (milliseconds)"
echo "  min $min  median $median  mean $mean  p99 $p99  max $max"
awk -v m="$median" -v s="$startup_median" -v w=$window 'BEGIN {
  printf "  the run check'"'"'s stability window: %d ms = %.0f%% of the median\n", w, 100 * w / m
  printf "  process start and end alone (vantctl stopped by an unknown option): median %.1f ms\n", s
  printf "  the rest of the median (probes, sleep overshoot, channels, requests): %.1f ms\n", m - w - s
}'
