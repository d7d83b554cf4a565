#!/usr/bin/env bash
# Builds dravik.exe and dravik-ras.exe for 64-bit Windows (statically linked:
# nothing to install beside them) and packs
# build-windows/dravik-<version>-win64.zip. Also builds the stand-in
# rasapi32.dll and the test of the Windows file helpers for the trials under
# Wine (scripts/windows-check.sh); they are not packed.
#
# Builds the reduced Qt for Windows first when its cache lacks it (about
# half an hour, see windows-qt.sh); with --cached-only it fails instead.
# The host's make-about-picture comes from the Linux build folder
# (DRAVIK_BUILD_DIR, default build), built there when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-windows
build=$out/build
host=${DRAVIK_BUILD_DIR:-$root/build}

qt=$("$root/scripts/windows-qt.sh" "$@" | tail -n 1)
"$root/scripts/windows-deps.sh"
mkdir -p "$out"

# The About window's picture is drawn at build time by a host program.
"$root/scripts/install-deps.sh"
if [[ ! -f $host/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$host" --target make-about-picture >/dev/null

# ccache keeps the cross compiler's work too, across build folders and clones.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
"$qt/bin/qt-cmake" -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/scripts/mingw64-toolchain.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DJPEG_INCLUDE_DIR="$qt/include" -DJPEG_LIBRARY="$qt/lib/libjpeg.a" \
  -DDRAVIK_HOST_MAKE_ABOUT_PICTURE="$host/app/pictures/make-about-picture" \
  -DDRAVIK_RAS_STANDIN=ON -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
  "${launcher[@]}" >"$out/configure.log" 2>&1 || { tail -n 30 "$out/configure.log" >&2; exit 1; }
cmake --build "$build" --parallel "$(nproc)" --target dravik dravik-ras rasapi32_standin \
  dravik_translations test_windows_files

version=$(sed -n 's/^project(Dravik VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name=dravik-$version-win64
stage=$out/$name
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/translations"
# Stripped: no symbols, and none of the build's paths.
for program in dravik dravik-ras; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/bin/$program.exe"
done
cp "$build/bin/translations/"*.qm "$stage/translations/"
# Qt's own texts for its boxes and buttons, in Chinese (Debian's copy).
if [[ -f /usr/share/qt6/translations/qtbase_zh_CN.qm ]]; then
  cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"
fi
sed "s/@VERSION@/$version/g" "$root/packaging/windows/README.txt" | sed 's/$/\r/' >"$stage/README.txt"
# Fixed times and order: the same programs give the same zip.
find "$stage" -exec touch -d "@${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}" {} +
(cd "$out" && find "$name" | LC_ALL=C sort | zip -q -X -@ "$name.zip")
echo "Windows: $out/$name.zip ($(du -k "$out/$name.zip" | cut -f1) KiB)"
