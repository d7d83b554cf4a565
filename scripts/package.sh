#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, and tries it on a fresh
# Debian 12: installs it into a throw-away root made with debootstrap, then, as
# an ordinary user there, runs `dravik-ras entries` from the installed path and
# starts `dravik` on a virtual screen with a window manager, closes its window
# and looks for its settings under the user's configuration folder.
#
#   scripts/package.sh [--no-trial]
#
# Run as root (debootstrap, chroot and mount need it). The package lands in
# build/package/. --no-trial stops after lintian. DRAVIK_DEBIAN_MIRROR names
# the mirror to bootstrap from (default: the one of this machine's apt
# sources, else deb.debian.org). Without a mirror the trial falls back to
# `dpkg --root` into an empty folder, which checks the unpacking and the
# command-line program but not the dependencies nor the window.
set -euo pipefail

root_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVIK_BUILD_DIR:-$root_dir/build}
trial=1
[[ ${1:-} == --no-trial ]] && trial=0

"$root_dir/scripts/build.sh" "$build" >/dev/null
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/package" >"$build/cpack.log" 2>&1 || {
  cat "$build/cpack.log" >&2
  exit 1
}
ras_deb=$(ls "$build"/package/dravik-ras_*.deb)
window_deb=$(ls "$build"/package/dravik_*.deb)
service_deb=$(ls "$build"/package/dravikd_*.deb)
for deb in "$ras_deb" "$window_deb" "$service_deb"; do
  echo "== package: $deb"
  dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
done

echo "== lintian"
lintian_status=0
lintian --fail-on error --tag-display-limit 0 "$ras_deb" "$window_deb" "$service_deb" \
  >"$build/lintian.log" 2>&1 || lintian_status=$?
grep -v '^running with root privileges' "$build/lintian.log" || true
((lintian_status == 0)) || { echo "lintian reports errors" >&2; exit 1; }
echo "lintian: no errors"
((trial)) || exit 0

[[ $(id -u) -eq 0 ]] || { echo "the trial install needs root (debootstrap, chroot)" >&2; exit 2; }

work=$(mktemp -d /var/tmp/dravik-trial.XXXXXX)
mounted=()
cleanup() {
  local m
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    m=${mounted[i]}
    umount -l "$m" 2>/dev/null || true
  done
  # Only remove the root once nothing of the host is mounted inside it.
  if ! grep -q " $work/" /proc/mounts; then rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mirror=${DRAVIK_DEBIAN_MIRROR:-}
if [[ -z $mirror ]]; then
  mirror=$(grep -rhoE '^(URIs:|deb) +https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list \
    /etc/apt/sources.list.d/ 2>/dev/null | awk '{ print $2; exit }' || true)
  mirror=${mirror:-http://deb.debian.org/debian}
fi

root=$work/root
echo "== a fresh Debian 12 from $mirror (a few minutes)"
if ! debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
  tail -5 "$work/debootstrap.log" >&2
  echo "== debootstrap failed: unpacking with dpkg --root instead"
  mkdir -p "$work/dpkg-root/var/lib/dpkg/updates" "$work/dpkg-root/var/lib/dpkg/info"
  touch "$work/dpkg-root/var/lib/dpkg/status"
  dpkg --root="$work/dpkg-root" --force-depends --force-not-root --force-script-chrootless \
    --log=/dev/null -i "$ras_deb" "$window_deb" "$service_deb" >/dev/null
  mkdir -m 0700 "$work/ras"
  out=$(env -u LD_LIBRARY_PATH DRAVIK_RAS_DIR="$work/ras" "$work/dpkg-root/usr/bin/dravik-ras" entries)
  [[ $out == Broadband ]] || { echo "FAIL: dravik-ras entries printed '$out'" >&2; exit 1; }
  echo "PASS: dravik-ras entries from the unpacked package: $out"
  echo "(the window program was not tried: no Debian 12 root to run it in)"
  exit 0
fi

# The programs find themselves through /proc/self/exe.
mkdir -p "$root/proc"
mount -t proc proc "$root/proc"
mounted+=("$root/proc")
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$ras_deb" "$window_deb" "$service_deb" "$root/tmp/"
ras=/tmp/$(basename "$ras_deb")
window=/tmp/$(basename "$window_deb")
service=/tmp/$(basename "$service_deb")

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; exit 1; }

# What apt would add to this minimal root for each package, with and without
# the recommended packages; it asks, is told no, and changes nothing.
pull() {
  local out
  out=$(in_root apt-get install --assume-no "$@" 2>&1 || true)
  local count size
  count=$(sed -nE 's/.* ([0-9]+) newly installed.*/\1/p' <<<"$out")
  size=$(sed -nE 's/^After this operation, (.*) of additional disk space will be used.*/\1/p' <<<"$out")
  [[ -n $count ]] || { echo "apt did not say what it would install: $out" >&2; return 1; }
  echo "$count packages, ${size:-0 B}"
}
echo "== what each package pulls into a minimal Debian 12 (debootstrap --variant=minbase)"
echo "service (dravikd, dravik-ras): $(pull --no-install-recommends "$service" "$ras");" \
  "with recommends: $(pull "$service" "$ras")"
echo "window (dravik, dravik-ras): $(pull --no-install-recommends "$window" "$ras");" \
  "with recommends: $(pull "$window" "$ras")"

echo "== installing the service package alone with apt (its dependencies from the mirror)"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$service" "$ras" >>"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log" >&2; exit 1; }
echo "installed: $(in_root dpkg-query -W -f='${Package} ${Version} ${Status}; ' dravikd dravik-ras)"
cat >"$root/tmp/service-trial.sh" <<'TRIAL'
#!/bin/bash
# Runs as root inside the fresh root, with the service package installed.
set -u
failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

drawing=$(dpkg-query -W -f='${Package}\n' 2>/dev/null |
  grep -E '^(libqt6(gui|widgets|opengl)6|libgtk-?[0-9]|libgl1|libegl1|libx11-6|libxcb1|libfontconfig1|libllvm|fonts-)' | tr '\n' ' ')
if [[ -z $drawing ]]; then
  pass "the service package pulled no graphical library (no Qt Gui or Widgets, X11, GL, GTK, fonts)"
else
  fail "the service package pulled graphical libraries: $drawing"
fi

config=/etc/dravik/dravikd.conf
if dpkg-query -W -f='${Conffiles}' dravikd | grep -q " $config "; then
  pass "$config is a configuration file of the package"
else
  fail "$config is not among the package's configuration files"
fi
out=$(DRAVIK_RAS_PROVIDER=sim timeout 20 dravikd 2>&1)
status=$?
if [[ $status -eq 78 && $out == *"$config: entry: not set"* ]]; then
  pass "dravikd with the installed configuration refuses to start (exit $status): $out"
else
  fail "dravikd with the installed configuration ended $status: $out"
fi

# The entry named, the service runs the simulated line (asked for by name)
# and answers dravikctl with the same configuration.
cp "$config" /tmp/named.conf
printf 'entry = Broadband\nonline-seconds = 30\n' >>/tmp/named.conf
DRAVIK_RAS_PROVIDER=sim dravikd --config /tmp/named.conf >/tmp/dravikd.log 2>&1 &
service=$!
status_out=
for _ in $(seq 100); do
  status_out=$(dravikctl --config /tmp/named.conf status 2>&1) && break
  sleep 0.2
done
if [[ $status_out == *"entry:"*Broadband* ]]; then
  pass "dravikctl status answered by the installed service: $(tr '\n' ' ' <<<"$status_out")"
else
  fail "dravikctl status: $status_out; the service's log: $(cat /tmp/dravikd.log)"
fi
kill -TERM "$service"
wait "$service"
status=$?
[[ $status -eq 0 ]] && pass "dravikd ended on SIGTERM with 0" || fail "dravikd ended on SIGTERM with $status"

# A purge takes the configuration, the history and the token; the library
# stays for the window program.
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq dravikd >/tmp/purge.log 2>&1 ||
  fail "apt-get purge dravikd: $(cat /tmp/purge.log)"
left=$(ls -d /etc/dravik /var/lib/dravik /usr/bin/dravikd 2>/dev/null | tr '\n' ' ')
[[ -z $left ]] && pass "a purge of dravikd left nothing of it" || fail "a purge of dravikd left $left"
echo "$failures check(s) failed"
exit $((failures > 0))
TRIAL
chmod 0755 "$root/tmp/service-trial.sh"
echo "== trying the service package as root"
service_status=0
in_root env HOME=/root /bin/bash /tmp/service-trial.sh || service_status=$?

echo "== installing the window package with apt"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$window" >>"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log" >&2; exit 1; }
echo "installed: $(in_root dpkg-query -W -f='${Package} ${Version} ${Status}' dravik)"
# What the trial itself needs: a virtual screen, a window manager that closes
# windows the way a user does, and a way to press its keys.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  xvfb xauth openbox xdotool >>"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log" >&2; exit 1; }
in_root useradd --create-home --shell /bin/bash tester

cat >"$root/tmp/trial.sh" <<'TRIAL'
#!/bin/bash
# Runs as the user "tester" inside the fresh root.
set -u
failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$(dravik-ras entries 2>/tmp/entries.err)
if [[ $? -eq 0 && $out == Broadband ]] && grep -q "simulated dial-up service" /tmp/entries.err; then
  pass "$(command -v dravik-ras) entries printed: $out"
else
  fail "dravik-ras entries: $out"
fi

work=$(mktemp -d)
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
xvfb=$!
read -r -t 20 display <"$work/displayfd" || display=
[[ -n $display ]] || { fail "Xvfb did not start: $(cat "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$display
openbox >"$work/openbox.log" 2>&1 &
wm=$!
sleep 1

# A box the program raises is answered at once and its text logged, so that
# a refused close shows why instead of waiting for a click.
DRAVIK_TEST_ANSWER_BOXES=1 dravik >"$work/dravik.log" 2>&1 &
program=$!
# The About window shows first, as the start-up splash, and has no close that
# ends the program; the main window carries the product title.
window=$(timeout 20 xdotool search --sync --onlyvisible --all --pid "$program" --name 'Dravik' 2>/dev/null | head -1)
if [[ -n $window ]]; then
  pass "dravik shows its window: \"$(xdotool getwindowname "$window")\" ($(command -v dravik) -> $(readlink -f "$(command -v dravik)"))"
  # Alt+F4: the window manager asks the window to close, as a user's click does.
  # A window that is still starting may miss the first press; a user would
  # press again, so the press is repeated a few times while the program runs.
  for _ in 1 2 3; do
    kill -0 "$program" 2>/dev/null || break
    xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
    sleep 2
  done
else
  fail "dravik showed no window within 20 s: $(cat "$work/dravik.log")"
fi
for _ in $(seq 100); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
  fail "dravik did not end within 10 s of the close: $(cat "$work/dravik.log"); windows shown: $(for w in $(xdotool search --onlyvisible --pid "$program" 2>/dev/null); do printf '"%s" ' "$(xdotool getwindowname "$w")"; done)"
  kill "$program"
else
  wait "$program"
  pass "dravik ended after its window was closed (exit $?)"
fi
settings=${XDG_CONFIG_HOME:-$HOME/.config}/dravik/dravik.ini
if [[ -f $settings ]]; then
  pass "settings written to $settings: $(tr '\n' ' ' <"$settings")"
else
  fail "no settings under $settings; $(ls /usr/lib/dravik/dravik.ini 2>/dev/null || echo none beside the program)"
fi
kill "$wm" "$xvfb" 2>/dev/null
wait 2>/dev/null
rm -rf "$work"
echo "$failures check(s) failed"
exit $((failures > 0))
TRIAL
chmod 0755 "$root/tmp/trial.sh"

echo "== trying the window package as an ordinary user"
window_status=0
chroot --userspec=tester:tester "$root" /usr/bin/env -i HOME=/home/tester USER=tester \
  PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 /bin/bash /tmp/trial.sh || window_status=$?
((service_status == 0 && window_status == 0))
