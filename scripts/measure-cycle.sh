#!/usr/bin/env bash
# Runs the program's timed cycle at 1 s online / 1 s offline against the
# simulated dial-up service on a virtual screen, and reports its memory
# (VmRSS) and CPU time at the start and at the end.
#
#   scripts/measure-cycle.sh [seconds] [bin-dir]
#
# seconds: how long the cycle runs (default 600); bin-dir: the folder that
# holds dravik.bin and librasapi32.so (default build/bin). The program runs
# from a copy of those two files in a temporary folder, with its own
# dravik.ini beside it and its own phonebook and service state, so nothing of
# the user's is touched. A sample line is printed every minute.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
duration=${1:-600}
bin_dir=${2:-$root/build/bin}
start_wait=10
sample_every=60

case $duration in '' | *[!0-9]*) echo "seconds must be a whole number" >&2; exit 2 ;; esac
for f in dravik.bin librasapi32.so; do
  [[ -f $bin_dir/$f ]] || { echo "$bin_dir/$f is missing: build the program first" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)" >&2; exit 2; }

work=$(mktemp -d)
xvfb_pid=
prog_pid=
cleanup() {
  # Only the two processes started here, by their ids.
  if [[ -n $prog_pid ]]; then kill "$prog_pid" 2>/dev/null || true; wait "$prog_pid" 2>/dev/null || true; fi
  if [[ -n $xvfb_pid ]]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$work/bin"
cp "$bin_dir/dravik.bin" "$bin_dir/librasapi32.so" "$work/bin/"
printf '[config]\nhanguptime=1\nconnecttime=1\nchange=1\n' >"$work/bin/dravik.ini"
mkdir -m 0700 "$work/ras"
printf '[Broadband]\nUserName=someone\nPassword=secret\nDialSeconds=0\n' >"$work/ras/phonebook.ini"

# A screen of our own; Xvfb writes its display number to fd 3 once it listens.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
read -r -t 10 display <"$work/displayfd" || true
[[ -n $display ]] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }

DISPLAY=":$display" DRAVIK_RAS_DIR="$work/ras" DRAVIK_RAS_PROVIDER=sim \
  "$work/bin/dravik.bin" >"$work/program.log" 2>&1 &
prog_pid=$!

ticks=$(getconf CLK_TCK)
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$prog_pid/status"; }
cpu_s() {
  # utime and stime are fields 14 and 15; the command name (field 2) may hold
  # blanks, so count from the closing parenthesis.
  local stat
  stat=$(<"/proc/$prog_pid/stat")
  stat=${stat##*) }
  read -r -a f <<<"$stat"
  awk -v u="${f[11]}" -v s="${f[12]}" -v t="$ticks" 'BEGIN { printf "%.2f", (u + s) / t }'
}
dials() {
  # Every dial takes the service's next connection handle.
  local next
  next=$(awk '$1 == "next" { print $2 }' "$work/ras/run/state" 2>/dev/null || true)
  echo $((${next:-1} - 1))
}
alive() { kill -0 "$prog_pid" 2>/dev/null; }

# Sleeping in the background lets a signal end the run at once.
nap() { sleep "$1" & wait $!; }

nap "$start_wait"
alive || { echo "the program ended early: $(cat "$work/program.log")" >&2; exit 1; }
start_rss=$(rss_kb)
start_cpu=$(cpu_s)
start_dials=$(dials)
printf '%6s %10s %9s %6s\n' "t(s)" "VmRSS(kB)" "CPU(s)" "dials"
printf '%6d %10d %9s %6d\n' 0 "$start_rss" "$start_cpu" "$start_dials"

elapsed=0
while ((elapsed < duration)); do
  step=$((duration - elapsed < sample_every ? duration - elapsed : sample_every))
  nap "$step"
  elapsed=$((elapsed + step))
  alive || { echo "the program ended during the run: $(cat "$work/program.log")" >&2; exit 1; }
  printf '%6d %10d %9s %6d\n' "$elapsed" "$(rss_kb)" "$(cpu_s)" "$(dials)"
done

end_rss=$(rss_kb)
end_cpu=$(cpu_s)
end_dials=$(dials)
turns=$((end_dials - start_dials))
# Two log lines per turn; a disconnect line that takes the log past 500 lines
# empties it, so it never holds much more than 500 lines of about 20 bytes.
lines=$((2 * end_dials))
held=$((lines % 502))
echo
echo "run:            ${duration} s at 1 s online / 1 s offline, $turns turns measured ($end_dials dials in all)"
echo "VmRSS:          start ${start_rss} kB, end ${end_rss} kB, change $((end_rss - start_rss)) kB"
echo "CPU time:       start ${start_cpu} s, end ${end_cpu} s, used $(awk -v a="$end_cpu" -v b="$start_cpu" 'BEGIN { printf "%.2f", a - b }') s in ${duration} s"
echo "log (estimate): about $lines lines written, about $held held at the end"
