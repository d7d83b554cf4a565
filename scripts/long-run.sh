#!/usr/bin/env bash
# The window program's reconnect cycle over a long time: dravik.bin on a
# virtual screen at 1 s online / 1 s offline against its own simulated dial-up
# service. Reports the turns, the log lines, the distinct addresses, and the
# program's memory (VmRSS) and CPU time at the start and at the end.
#
#   scripts/long-run.sh [seconds] [bin-dir]
#
# seconds: how long the cycle runs after start-up (default 3600); bin-dir: the
# folder that holds dravik.bin and librasapi32.so (default build/bin). The
# program runs from a copy of those two files in a temporary folder, with its
# own dravik.ini beside it and its own phonebook and service state, so nothing
# of the user's is touched. A sample line is printed every minute.
#
# How the figures are taken from outside the program:
# - Turns: every dial takes the simulated service's next connection handle,
#   kept as "next" in its state file, and the cycle dials once a turn; so the
#   handles taken are the turns, exactly, with nothing else dialling.
# - Addresses: the state file lists each connection with its handle and
#   address from its dial until its hang-up, about 1 s. A watcher here reads
#   the file every 0.2 s and keeps every handle and address it sees; the
#   handles it saw against the handles taken show that none was missed.
# - Log lines: the window's event log lives only on its screen. It gains a
#   " connected" line when the monitor's poll (every 1 s) finds the line up
#   and a " disconnected" line when it finds it gone, and a disconnect line
#   that takes it past 500 lines empties it. Each connection watched stays
#   listed for a whole online phase, so the monitor logs two lines for each:
#   the lines written are 2 x the connections seen, and the lines held at the
#   end follow from that count; both are figures worked out, not read.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
duration=${1:-3600}
bin_dir=${2:-$root/build/bin}
start_wait=10
sample_every=60
watch_every=0.2
max_log_lines=500

case $duration in '' | *[!0-9]*) echo "seconds must be a whole number" >&2; exit 2 ;; esac
for f in dravik.bin librasapi32.so; do
  [[ -f $bin_dir/$f ]] || { echo "$bin_dir/$f is missing: build the program first" >&2; exit 2; }
done
command -v Xvfb >/dev/null || { echo "Xvfb is missing (apt-get install xvfb)" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
  # Only the processes started here, by their ids, the program before its screen.
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$work/bin"
cp "$bin_dir/dravik.bin" "$bin_dir/librasapi32.so" "$work/bin/"
printf '[config]\nhanguptime=1\nconnecttime=1\nchange=1\n' >"$work/bin/dravik.ini"
mkdir -m 0700 "$work/ras"
printf '[Broadband]\nUserName=someone\nPassword=secret\nDialSeconds=0.2\n' >"$work/ras/phonebook.ini"
state=$work/ras/run/state

# A screen of our own; Xvfb writes its display number to fd 3 once it listens.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
pids+=($!)
display=
read -r -t 10 display <"$work/displayfd" || true
[[ -n $display ]] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }

DISPLAY=":$display" DRAVIK_RAS_DIR="$work/ras" DRAVIK_RAS_PROVIDER=sim \
  "$work/bin/dravik.bin" >"$work/program.log" 2>&1 &
prog_pid=$!
pids+=("$prog_pid")

# The watcher: one "handle address" line per connection listed at each look.
# A file being replaced is read whole or not at all (the service renames a
# new file over the old one).
watch_state() {
  local kind handle start dial fail address rest
  while :; do
    if [[ -f $state ]]; then
      while read -r kind handle start dial fail address rest; do
        [[ $kind == conn ]] && echo "$handle $address"
      done <"$state"
    fi
    sleep "$watch_every"
  done >>"$work/seen"
}
: >"$work/seen"
watch_state &
pids+=($!)

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
turns() {
  local next
  next=$(awk '$1 == "next" { print $2 }' "$state" 2>/dev/null || true)
  echo $((${next:-1} - 1))
}
seen_handles() { awk '{ print $1 }' "$work/seen" | sort -u | wc -l; }
seen_addresses() { awk '{ print $2 }' "$work/seen" | sort -u | wc -l; }
alive() { kill -0 "$prog_pid" 2>/dev/null; }

# Sleeping in the background lets a signal end the run at once.
nap() { sleep "$1" & wait $!; }

nap "$start_wait"
alive || { echo "the program ended early: $(cat "$work/program.log")" >&2; exit 1; }
start_rss=$(rss_kb)
start_cpu=$(cpu_s)
start_turns=$(turns)
printf '%6s %10s %9s %7s %7s %9s\n' "t(s)" "VmRSS(kB)" "CPU(s)" "turns" "seen" "addresses"
printf '%6d %10d %9s %7d %7d %9d\n' 0 "$start_rss" "$start_cpu" "$start_turns" \
  "$(seen_handles)" "$(seen_addresses)"

elapsed=0
while ((elapsed < duration)); do
  step=$((duration - elapsed < sample_every ? duration - elapsed : sample_every))
  nap "$step"
  elapsed=$((elapsed + step))
  alive || { echo "the program ended during the run: $(cat "$work/program.log")" >&2; exit 1; }
  printf '%6d %10d %9s %7d %7d %9d\n' "$elapsed" "$(rss_kb)" "$(cpu_s)" "$(turns)" \
    "$(seen_handles)" "$(seen_addresses)"
done

end_rss=$(rss_kb)
end_cpu=$(cpu_s)
end_turns=$(turns)
# One more look, so that the last connection is in.
nap 1
handles=$(seen_handles)
addresses=$(seen_addresses)
lines=$((2 * handles))
# Emptied by the disconnect line that takes it past the limit: the log runs
# in rounds of limit + 2 lines (the last round ending on that line).
held=$((lines % (max_log_lines + 2)))
echo
echo "run:           ${duration} s at 1 s online / 1 s offline after ${start_wait} s of start-up"
echo "turns:         $((end_turns - start_turns)) in the run, $end_turns in all (handles taken)"
echo "connections:   $handles seen by the watcher, $((end_turns - handles)) of the dials not seen"
echo "addresses:     $addresses distinct among the $handles connections seen"
echo "log lines:     $lines written (2 per connection), $held held at the end (worked out)"
echo "VmRSS:         start ${start_rss} kB, end ${end_rss} kB, change $((end_rss - start_rss)) kB"
echo "CPU time:      start ${start_cpu} s, end ${end_cpu} s, used" \
  "$(awk -v a="$end_cpu" -v b="$start_cpu" 'BEGIN { printf "%.2f", a - b }') s in ${duration} s"
stderr_lines=$(wc -l <"$work/program.log")
echo "program:       $stderr_lines lines on its standard error"
head -n 5 "$work/program.log" | sed 's/^/  /'
