#!/usr/bin/env bash
# Installs a build into a staging prefix and checks what lands there: the
# layout, the programs finding the dial-up library through their run paths
# alone, the menu entry, the AppStream data, the icon sizes, the manual pages
# and the service's configuration file, which refuses to start the service
# until the entry is named.
#
#   packaging/check-install.sh BUILD-DIR APP-ID
set -euo pipefail
build=$1
app_id=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage/usr
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$stage" >"$work/install.log" || {
  cat "$work/install.log" >&2
  exit 1
}

for f in bin/dravik-ras bin/dravikd bin/dravikctl lib/dravik/dravik.bin lib/dravik/librasapi32.so \
  share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
  share/icons/hicolor/scalable/apps/dravik.svg \
  share/man/man1/dravik.1.gz share/man/man1/dravik-ras.1.gz share/man/man1/dravikctl.1.gz \
  share/man/man8/dravikd.8.gz share/man/man5/dravikd.conf.5.gz \
  lib/systemd/system/dravikd.service lib/systemd/system/dravikd@.service \
  lib/systemd/user/dravikd.service share/doc/dravikd/examples/dravikd.conf \
  share/dravik/translations/dravik_zh_CN.qm share/dravik/translations/dravik_en.qm; do
  [[ -e $stage/$f ]] || fail "$f is not installed"
done
# Each package's own documentation folder.
for package in dravik dravik-ras dravikd; do
  for f in copyright changelog.gz; do
    [[ -e $stage/share/doc/$package/$f ]] || fail "share/doc/$package/$f is not installed"
  done
done
[[ -L $stage/bin/dravik && $(readlink "$stage/bin/dravik") == ../lib/dravik/dravik.bin ]] ||
  fail "bin/dravik is not a link to ../lib/dravik/dravik.bin"
[[ $(readlink -f "$stage/bin/dravik") == "$(readlink -f "$stage/lib/dravik/dravik.bin")" ]] ||
  fail "bin/dravik does not reach the program"

# The dial-up library is found beside the program through the run path, with
# nothing in the environment pointing at it.
for program in lib/dravik/dravik.bin bin/dravik-ras bin/dravikd; do
  found=$(env -u LD_LIBRARY_PATH ldd "$stage/$program" | awk '$1 == "librasapi32.so" { print $3 }')
  [[ -n $found && $(realpath "$found") == "$(realpath "$stage/lib/dravik/librasapi32.so")" ]] ||
    fail "$program finds the dial-up library at '${found:-nowhere}'"
done
# What a server without a screen installs draws nothing: neither the service,
# its client, dravik-ras nor the library need a graphical library, even
# indirectly.
for program in bin/dravikd bin/dravikctl bin/dravik-ras lib/dravik/librasapi32.so; do
  drawing=$(env -u LD_LIBRARY_PATH ldd "$stage/$program" |
    awk '$1 ~ /^lib(Qt6(Gui|Widgets|OpenGL)|X11|xcb|GL|EGL|gtk|fontconfig|freetype)[-.]/ { print $1 }' | tr '\n' ' ')
  [[ -z $drawing ]] || fail "$program needs graphical libraries: $drawing"
done
mkdir -m 0700 "$work/ras"
entries=$(env -u LD_LIBRARY_PATH DRAVIK_RAS_DIR="$work/ras" DRAVIK_RAS_PROVIDER=sim \
  "$stage/bin/dravik-ras" entries 2>"$work/entries.err") ||
  fail "dravik-ras entries failed: $entries $(cat "$work/entries.err")"
[[ $entries == Broadband ]] || fail "dravik-ras entries printed '$entries', not the sample entry"
# The simulated line never passes for a real one.
grep -q "the simulated dial-up service is in use" "$work/entries.err" ||
  fail "dravik-ras did not say that the simulated service is in use: $(cat "$work/entries.err")"

desktop-file-validate "$stage/share/applications/$app_id.desktop" ||
  fail "the menu entry does not validate"
grep -qx 'Categories=Network;.*' "$stage/share/applications/$app_id.desktop" ||
  fail "the menu entry is not in the Network category"
grep -q '^Name\[zh_CN\]=' "$stage/share/applications/$app_id.desktop" ||
  fail "the menu entry has no Chinese name"
appstreamcli validate --no-net "$stage/share/metainfo/$app_id.metainfo.xml" >"$work/appstream.log" 2>&1 || {
  cat "$work/appstream.log" >&2
  fail "the AppStream data does not validate"
}

# Each bitmap is as large as the folder it sits in says: width and height
# are the big-endian words at bytes 16 and 20 of a PNG.
for size in 16 24 32 48 64 128 256; do
  png=$stage/share/icons/hicolor/${size}x${size}/apps/dravik.png
  if [[ ! -f $png ]]; then
    fail "no ${size}x${size} icon"
    continue
  fi
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
  [[ "$w $h" == "$size $size" ]] || fail "the ${size}x${size} icon is ${w}x${h}"
done

# The configuration file lands beside the prefix /usr, as /etc would for the
# packages, and keeps the service from starting, saying why, until its entry
# is named; then the service takes it.
config=$work/stage/etc/dravik/dravikd.conf
if [[ ! -f $config ]]; then
  fail "etc/dravik/dravikd.conf is not installed beside the prefix"
else
  # Should it start after all, it ends within seconds and writes only here.
  service_env=(env -u LD_LIBRARY_PATH DRAVIK_RAS_DIR="$work/ras" DRAVIK_RAS_PROVIDER=sim
    XDG_STATE_HOME="$work/state")
  status=0
  out=$(timeout 10 "${service_env[@]}" "$stage/bin/dravikd" --config "$config" 2>&1) || status=$?
  [[ $status -eq 78 && $out == *"$config: entry: not set: this file must name the phonebook entry"* ]] ||
    fail "dravikd with the installed configuration ended $status: $out"
  cp "$config" "$work/named.conf"
  echo "entry = Broadband" >>"$work/named.conf"
  out=$("${service_env[@]}" "$stage/bin/dravikd" --config "$work/named.conf" --check-config 2>&1) ||
    fail "dravikd --check-config refused the installed configuration with an entry: $out"
fi

# Every page renders without a warning from the formatter.
for page in "$stage"/share/man/man?/*.gz; do
  name=$(basename "$page" .gz)
  name=${name%.*}
  if ! MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" >"$work/man.out" 2>"$work/man.err"; then
    fail "man -l $name failed: $(cat "$work/man.err")"
  elif [[ -s $work/man.err ]]; then
    fail "man -l $name warns: $(cat "$work/man.err")"
  fi
  grep -q "^NAME" "$work/man.out" || fail "the page of $name has no NAME section"
  grep -q "$name" "$work/man.out" || fail "the page of $name does not name it"
done

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed files check out"
