#!/usr/bin/env bash
# Tries the Windows build (scripts/windows-build.sh) under Wine: the test of
# the file helpers; then, against the stand-in dial-up library, the
# simulated service: dravik-ras.exe lists,
# dials, shows and hangs up; dravik.exe, on a virtual screen with a window
# manager, shows its window and its notification-area icon, connects by its
# button and, with the cycle at 3 s / 1 s, goes through three turns, each
# with a new address. Leaves a screen picture in
# build-windows/trial/dravik-wine.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-windows/build
trial=$root/build-windows/trial
"$root/scripts/windows-deps.sh"
for file in bin/dravik.exe bin/dravik-ras.exe standin/rasapi32.dll; do
  [[ -f $build/$file ]] || { echo "windows-check: $build/$file is missing: run scripts/windows-build.sh" >&2; exit 1; }
done

failures=0
check() {  # check WHAT COMMAND...: runs the command, says how it went
  local what=$1
  shift
  if "$@"; then
    echo "windows-check: ok: $what"
  else
    echo "windows-check: FAILED: $what" >&2
    failures=$((failures + 1))
  fi
}

rm -rf "$trial"
mkdir -p "$trial/ras"
cp "$build/bin/dravik.exe" "$build/bin/dravik-ras.exe" "$build/standin/rasapi32.dll" "$trial/"
cp -r "$build/bin/translations" "$trial/"
# A dial of half a second, and the cycle at 3 s online, 1 s offline,
# switched off until the trial ticks it.
printf '[Broadband]\nUserName=user\nPassword=secret\nDialSeconds=0.5\n' >"$trial/ras/phonebook.ini"
printf '[config]\r\nhanguptime=3\r\nconnecttime=1\r\nchange=0\r\n' >"$trial/dravik.ini"

# One Wine prefix, kept between runs (its set-up takes half a minute). Our
# rasapi32.dll beside the programs wins over Wine's own only when told so.
export WINEPREFIX=${DRAVIK_WINE_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/dravik-wine}
export WINEDEBUG=-all WINEDLLOVERRIDES="rasapi32=n,b;mscoree=;mshtml="
export WINEARCH=win64
export DRAVIK_RAS_DIR="Z:$trial/ras"
unset DRAVIK_LANG
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "windows-check: setting up the Wine prefix $WINEPREFIX"
  # It may report a failure for parts a 64-bit-only Wine lacks.
  wineboot -i >/dev/null 2>&1 || true
  [[ -f $WINEPREFIX/system.reg ]] || { echo "windows-check: wineboot made no prefix" >&2; exit 1; }
fi

pids=()
cleanup() {
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
# Wine's own services start with its first program and live as long as its
# server: started here, apart, they hold none of the checks' output open.
wineserver -p
wine cmd.exe /c exit >/dev/null 2>&1 </dev/null

# The Windows forms of the file helpers.
check "the file helpers' test" ctest --test-dir "$build" --output-on-failure

ras() { wine "$trial/dravik-ras.exe" "$@" 2>>"$trial/dravik-ras.err" | tr -d '\r'; }

# The command-line tool against the stand-in.
check "dravik-ras entries lists the stand-in phonebook" test "$(ras entries)" = Broadband
dialled=$(ras dial Broadband)
address=$(cut -f3 <<<"$dialled")
check "dravik-ras dial connects with an address ($dialled)" \
  grep -Eq '^[0-9]+	Broadband	100\.[0-9]+\.[0-9]+\.[0-9]+	100\.64\.0\.1$' <<<"$dialled"
listed=$(ras connections)
check "dravik-ras connections shows it ($listed)" \
  grep -Fq "Broadband	Connected	$address	100.64.0.1" <<<"$listed"
check "dravik-ras hangup ends it" ras hangup Broadband
check "dravik-ras connections lists none after" test -z "$(ras connections)"

# The window program on a virtual screen of its own.
# A free display: Xvfb picks it and writes its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$trial/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [[ -s $trial/display ]] && break
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$trial/display")
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

wine "$trial/dravik.exe" >"$trial/dravik.log" 2>&1 &
# Ended with the Wine server at the end, without a word from the shell.
disown
window=$(timeout 60 xdotool search --sync --onlyvisible --name 'V2\.0  ' | head -n 1 || true)
check "dravik.exe shows its main window" test -n "$window"
# The About window shows for two seconds at the start.
sleep 3
check "its icon is in the notification area (Wine's tray)" \
  bash -c "xdotool search --onlyvisible --name 'Wine System Tray' | grep -q ."

# Connected by its button (the toolbar's first, at 8,8 and 81 x 49); then
# the cycle's check box (the fourth bar's, at 8,12 in the bar that starts
# 145 down) switched on takes it from there.
connected() { ras connections | awk -F'\t' '$3 == "Connected" { print $4 }'; }
[[ -n $window ]] && xdotool mousemove --window "$window" 48 32 click 1
first=
for _ in $(seq 40); do
  first=$(connected)
  [[ -n $first ]] && break
  sleep 0.3
done
check "its connect button connects (${first:-no connection})" test -n "$first"
[[ -n $window ]] && xdotool mousemove --window "$window" 60 165 click 1
addresses=("$first")
deadline=$((SECONDS + 60))
while ((${#addresses[@]} < 4 && SECONDS < deadline)); do
  now=$(connected)
  if [[ -n $now && $now != "${addresses[-1]}" ]]; then
    addresses+=("$now")
    echo "windows-check: the cycle connected with $now"
  fi
  sleep 0.3
done
check "the cycle turns three times, each with a new address (${addresses[*]})" \
  test "${#addresses[@]}" -ge 4
# The monitor logs the last connection within its poll (a second).
sleep 2
import -display "$DISPLAY" -window root "$trial/dravik-wine.png"
echo "windows-check: screen picture in $trial/dravik-wine.png"

if ((failures > 0)); then
  echo "windows-check: $failures check(s) failed" >&2
  exit 1
fi
echo "windows-check: all checks passed"
