#!/usr/bin/env bash
# Wall time of whole "vant cells --json" runs against whole
# "qmicli --nas-get-cell-location-info" runs on the same emulated modem (the
# emulator on a pseudo-terminal), in one run of this script: first qmicli,
# which opens the modem itself, then vant, through the daemon driving that
# same pseudo-terminal. Prints the median, the fastest and the slowest of
# each, and the ratio of the medians. Runs itself in a network and PID
# namespace of its own (tests/tools/in_netns) and leaves nothing behind.
#
# Usage: bench/vant_vs_qmicli.sh [-n RUNS] [-b BIN_DIR]
#   -n RUNS      timed runs of each (default 20), after one untimed warm-up run
#   -b BIN_DIR   where vant, vantsdk and vantsim are (default: build/bin)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=20
bin_dir=$repo/build/bin
while getopts "n:b:h" option; do
  case $option in
    n) runs=$OPTARG ;;
    b) bin_dir=$OPTARG ;;
    *) sed -n '2,13s/^# \{0,1\}//p' "$0"; exit 2 ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "vant_vs_qmicli: -n takes a count of runs" >&2; exit 2; }
bin_dir=$(cd "$bin_dir" && pwd)
for program in "$bin_dir/vant" "$bin_dir/vantsdk" "$bin_dir/vantsim" /usr/bin/qmicli; do
  [[ -x $program ]] || { echo "vant_vs_qmicli: no $program" >&2; exit 1; }
done
if [[ -z ${VANT_BENCH_IN_NETNS:-} ]]; then
  export VANT_BENCH_IN_NETNS=1
  exec "$repo/tests/tools/in_netns" bash "$0" -n "$runs" -b "$bin_dir"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
link=$work/modem

wait_for() {  # what, then a command that succeeds once it is there
  local what=$1
  shift
  for ((tries = 0; tries < 200; ++tries)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "vant_vs_qmicli: $what did not come up" >&2
  exit 1
}

# Times `runs` runs of the command, one per line of $work/times (ms), after a warm-up.
time_runs() {
  "$@" >/dev/null 2>&1
  : >"$work/times"
  for ((i = 0; i < runs; ++i)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $(((end - start) / 1000)) >>"$work/times"
  done
}

# "median min max" in ms of $work/times.
summary() {
  sort -n "$work/times" | awk '{ t[NR] = $1 / 1000 }
    END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
          printf "%.1f %.1f %.1f\n", m, t[1], t[NR] }'
}

"$bin_dir/vantsim" --link "$link" 2>"$work/sim.log" &
wait_for "the emulator" test -e "$link"
time_runs /usr/bin/qmicli -d "$link" --device-open-qmi --nas-get-cell-location-info
read -r q_median q_min q_max < <(summary)

"$bin_dir/vantsdk" --foreground --device "$link" 0 2>"$work/daemon.log" &
wait_for "the daemon" grep -q "@KEL0_SDK_SOCKET_MUTEX" /proc/net/unix
wait_for "the modem behind the daemon" "$bin_dir/vant" device
time_runs "$bin_dir/vant" cells --json
read -r v_median v_min v_max < <(summary)

printf "%-40s %8s %8s %8s\n" "whole run, $runs runs (ms)" median fastest slowest
printf "%-40s %8s %8s %8s\n" "qmicli --nas-get-cell-location-info" "$q_median" "$q_min" "$q_max"
printf "%-40s %8s %8s %8s\n" "vant cells --json" "$v_median" "$v_min" "$v_max"
awk -v v="$v_median" -v q="$q_median" 'BEGIN { printf "vant / qmicli (medians): %.2f\n", v / q }'
