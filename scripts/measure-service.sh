#!/usr/bin/env bash
# Idle cost of the rotation service against the window program doing the same
# rotation, side by side: both at 60 s online / 5 s offline against their own
# simulated dial-up service, for the same time. Reports each one's CPU share
# of one core and its memory (VmRSS) at the start and at the end.
#
#   scripts/measure-service.sh [seconds] [bin-dir]
#
# seconds: how long both run (default 600); bin-dir: the folder that holds
# dravikd, dravik.bin and librasapi32.so (default build/bin). Nothing of the
# user's is touched: each program gets a temporary folder of its own.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
duration=${1:-600}
bin_dir=${2:-$root/build/bin}
online=60
offline=5
start_wait=10

case $duration in '' | *[!0-9]*) echo "seconds must be a whole number" >&2; exit 2 ;; esac
for f in dravikd dravik.bin librasapi32.so; do
  [[ -f $bin_dir/$f ]] || { echo "$bin_dir/$f is missing: build first" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
  # Only the processes started here, by their ids.
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

phonebook() {
  mkdir -m 0700 "$1"
  printf '[Broadband]\nUserName=someone\nPassword=secret\nDialSeconds=1\n' >"$1/phonebook.ini"
}

# The service.
phonebook "$work/ras-service"
mkdir -m 0700 "$work/state"
printf 'entry = Broadband\nonline-seconds = %d\noffline-seconds = %d\nlisten = 127.0.0.1:0\n' \
  "$online" "$offline" >"$work/dravikd.conf"
STATE_DIRECTORY="$work/state" DRAVIK_RAS_DIR="$work/ras-service" DRAVIK_RAS_PROVIDER=sim \
  "$bin_dir/dravikd" --config "$work/dravikd.conf" >"$work/service.log" 2>&1 &
service_pid=$!
pids+=("$service_pid")

# The window program on a screen of its own; Xvfb writes its display number
# to fd 3 once it listens.
phonebook "$work/ras-window"
mkdir "$work/bin"
cp "$bin_dir/dravik.bin" "$bin_dir/librasapi32.so" "$work/bin/"
printf '[config]\nhanguptime=%d\nconnecttime=%d\nchange=1\n' "$online" "$offline" >"$work/bin/dravik.ini"
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
pids+=($!)
display=
read -r -t 10 display <"$work/displayfd" || true
[[ -n $display ]] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
DISPLAY=":$display" DRAVIK_RAS_DIR="$work/ras-window" DRAVIK_RAS_PROVIDER=sim \
  "$work/bin/dravik.bin" >"$work/window.log" 2>&1 &
window_pid=$!
pids+=("$window_pid")

ticks=$(getconf CLK_TCK)
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
cpu_ticks() {
  # utime and stime are fields 14 and 15; the command name may hold blanks.
  local stat
  stat=$(<"/proc/$1/stat")
  stat=${stat##*) }
  read -r -a f <<<"$stat"
  echo $((f[11] + f[12]))
}
dials() {
  local next
  next=$(awk '$1 == "next" { print $2 }' "$1/run/state" 2>/dev/null || true)
  echo $((${next:-1} - 1))
}
nap() { sleep "$1" & wait $!; }

nap "$start_wait"
for pid in "$service_pid" "$window_pid"; do
  kill -0 "$pid" 2>/dev/null || {
    echo "a program ended early:" >&2
    cat "$work/service.log" "$work/window.log" >&2
    exit 1
  }
done
s_rss0=$(rss_kb "$service_pid"); s_cpu0=$(cpu_ticks "$service_pid")
w_rss0=$(rss_kb "$window_pid"); w_cpu0=$(cpu_ticks "$window_pid")
nap "$duration"
s_rss1=$(rss_kb "$service_pid"); s_cpu1=$(cpu_ticks "$service_pid")
w_rss1=$(rss_kb "$window_pid"); w_cpu1=$(cpu_ticks "$window_pid")

share() { awk -v t="$1" -v k="$ticks" -v d="$duration" 'BEGIN { printf "%.3f%%", 100 * t / k / d }'; }
echo "run: ${duration} s at ${online} s online / ${offline} s offline, after ${start_wait} s of start-up"
printf '%-22s %12s %14s %14s %7s\n' program "CPU share" "VmRSS start" "VmRSS end" dials
printf '%-22s %12s %11d kB %11d kB %7d\n' "dravikd (service)" "$(share $((s_cpu1 - s_cpu0)))" \
  "$s_rss0" "$s_rss1" "$(dials "$work/ras-service")"
printf '%-22s %12s %11d kB %11d kB %7d\n' "dravik.bin (window)" "$(share $((w_cpu1 - w_cpu0)))" \
  "$w_rss0" "$w_rss1" "$(dials "$work/ras-window")"
