#!/usr/bin/env bash
# Installs a build into a staging prefix and checks what lands there: the
# layout, the programs finding the dial-up library through their run paths
# alone, the menu entry, the AppStream data, the icon sizes and the manual
# pages.
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

for f in bin/dravik-ras lib/dravik/dravik.bin lib/dravik/librasapi32.so \
  share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
  share/icons/hicolor/scalable/apps/dravik.svg \
  share/man/man1/dravik.1.gz share/man/man1/dravik-ras.1.gz \
  share/doc/dravik/copyright share/doc/dravik/changelog.gz \
  share/dravik/translations/dravik_zh_CN.qm share/dravik/translations/dravik_en.qm; do
  [[ -e $stage/$f ]] || fail "$f is not installed"
done
[[ -L $stage/bin/dravik && $(readlink "$stage/bin/dravik") == ../lib/dravik/dravik.bin ]] ||
  fail "bin/dravik is not a link to ../lib/dravik/dravik.bin"
[[ $(readlink -f "$stage/bin/dravik") == "$(readlink -f "$stage/lib/dravik/dravik.bin")" ]] ||
  fail "bin/dravik does not reach the program"

# The dial-up library is found beside the program through the run path, with
# nothing in the environment pointing at it.
for program in lib/dravik/dravik.bin bin/dravik-ras; do
  found=$(env -u LD_LIBRARY_PATH ldd "$stage/$program" | awk '$1 == "librasapi32.so" { print $3 }')
  [[ -n $found && $(realpath "$found") == "$(realpath "$stage/lib/dravik/librasapi32.so")" ]] ||
    fail "$program finds the dial-up library at '${found:-nowhere}'"
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

# Every page renders without a warning from the formatter.
for page in "$stage"/share/man/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
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
