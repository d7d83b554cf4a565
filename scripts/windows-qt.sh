#!/usr/bin/env bash
# Builds the reduced, static Qt for 64-bit Windows that the Windows build of
# Dravik links, from Debian's own source packages of Qt and SQLite, into a
# cache folder outside the tree, and the JPEG library the window program
# decodes its picture with (Debian's libjpeg-turbo) into the same folder. A
# cached build is reused while the source versions, the configure line and
# the toolchain file are the same.
#
# The last line printed is the Qt folder (the one holding bin/qt-cmake).
# With --cached-only nothing is built: the folder is printed when the cache
# holds it, else the script fails (status 1).
# Environment: DRAVIK_WINDOWS_QT_CACHE (default ~/.cache/dravik-windows-qt).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cache=${DRAVIK_WINDOWS_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/dravik-windows-qt}
toolchain=$root/scripts/mingw64-toolchain.cmake

# Pinned to what Debian 12 ships: the source must be the one the host's moc,
# uic and rcc (qt6-base-dev-tools) come from.
qt_source_version=6.4.2+dfsg-10
sqlite_source_version=3.40.1-2+deb12u2
jpeg_source_version=1:2.1.5-2

# Kept small: Core, Gui with the Windows platform plugin, Widgets, Network,
# Sql with SQLite, Test. Debian's +dfsg source has no wintab (hence no
# tablet events); without DirectWrite 3 as well as Direct2D, Qt 6.4.2 links
# programs against a font database it did not build.
configure_options=(
  -release -static -static-runtime -xplatform win32-g++ -qt-host-path /usr
  -nomake examples -nomake tests -no-opengl -no-dbus -no-icu -no-freetype -no-libjpeg
  -qt-zlib -qt-pcre -qt-libpng -qt-harfbuzz -qt-doubleconversion
  -sql-sqlite -qt-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql -no-sql-ibase -no-sql-oci -no-sql-db2
  -no-feature-tabletevent -no-feature-direct2d -no-feature-directwrite3 -no-feature-vulkan
  -no-feature-concurrent -no-feature-xml -no-feature-printsupport
)

key=$( { echo "$qt_source_version $sqlite_source_version ${configure_options[*]}"; cat "$toolchain"; } |
  sha256sum | cut -c1-12)
prefix=$cache/qt-${qt_source_version%%+*}-$key
jpeg_stamp=$prefix/.libjpeg-${jpeg_source_version#*:}
if [[ -f $prefix/.complete && -f $jpeg_stamp ]]; then
  echo "Qt for Windows: cached in $prefix" >&2
  echo "$prefix"
  exit 0
fi
if [[ ${1:-} == --cached-only ]]; then
  echo "Qt for Windows: not built yet (scripts/windows-qt.sh builds it into $prefix)" >&2
  exit 1
fi

"$root/scripts/windows-deps.sh"

# apt-get source needs a deb-src entry: one beside each Debian deb entry.
if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q "^Version: $qt_source_version\$"; then
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
    "${sudo[@]}" tee /etc/apt/sources.list.d/dravik-debian-src.sources >/dev/null
  "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
fi

work=$cache/work
# Build paths stay out of the binaries.
map_flags() { echo "-ffile-prefix-map=$1=$3 -ffile-prefix-map=$2=$3-build"; }

if [[ ! -f $prefix/.complete ]]; then
  rm -rf "$work" "$prefix"
  mkdir -p "$work/src" "$work/sqlite-build" "$work/build"
  echo "Qt for Windows: fetching Debian's source of qt6-base $qt_source_version and sqlite3 $sqlite_source_version" >&2
  (cd "$work/src" && apt-get source -qq "qt6-base=$qt_source_version" "sqlite3=$sqlite_source_version" >/dev/null)
  qt_src=$(find "$work/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
  sqlite_src=$(find "$work/src" -maxdepth 1 -type d -name 'sqlite3-*' | head -n1)

  # The +dfsg source leaves out SQLite; Qt's SQLite driver builds from its
  # one-file form, which SQLite's own build makes.
  (cd "$work/sqlite-build" && "$sqlite_src/configure" >/dev/null && make -s sqlite3.c >/dev/null)
  mkdir -p "$qt_src/src/3rdparty/sqlite"
  cp "$work/sqlite-build/"{sqlite3.c,sqlite3.h,sqlite3ext.h} "$qt_src/src/3rdparty/sqlite/"

  flags=$(map_flags "$qt_src" "$work/build" qt6-base)
  echo "Qt for Windows: configuring and building into $prefix (about 30 minutes on 2 idle cores)" >&2
  (
    cd "$work/build"
    "$qt_src/configure" -prefix "$prefix" "${configure_options[@]}" -- -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >"$work/configure.log" 2>&1 ||
      { tail -n 40 "$work/configure.log" >&2; exit 1; }
    cmake --build . --parallel "$(nproc)" >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; exit 1; }
    cmake --install . >/dev/null
  )
  touch "$prefix/.complete"
  rm -rf "$work"
fi

if [[ ! -f $jpeg_stamp ]]; then
  rm -rf "$work"
  mkdir -p "$work/src" "$work/jpeg-build"
  echo "Qt for Windows: building libjpeg-turbo $jpeg_source_version into $prefix" >&2
  (cd "$work/src" && apt-get source -qq "libjpeg-turbo=$jpeg_source_version" >/dev/null 2>&1)
  jpeg_src=$(find "$work/src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)
  flags=$(map_flags "$jpeg_src" "$work/jpeg-build" libjpeg-turbo)
  # The static library alone, without the SIMD code (it would need nasm): the
  # program decodes one small picture.
  cmake -S "$jpeg_src" -B "$work/jpeg-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_C_FLAGS="$flags" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    >"$work/jpeg.log" 2>&1 || { tail -n 40 "$work/jpeg.log" >&2; exit 1; }
  cmake --build "$work/jpeg-build" --parallel "$(nproc)" >>"$work/jpeg.log" 2>&1 ||
    { tail -n 40 "$work/jpeg.log" >&2; exit 1; }
  cmake --install "$work/jpeg-build" >/dev/null
  touch "$jpeg_stamp"
  rm -rf "$work"
fi

echo "Qt for Windows: built in $prefix" >&2
echo "$prefix"
