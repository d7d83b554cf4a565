#!/usr/bin/env bash
# Installs the Debian packages that building Dravik for Windows and trying it
# under Wine need, only those missing. Kept apart from install-deps.sh: a
# Linux build needs none of them.
set -euo pipefail

packages=(
  # the cross compiler, with the POSIX thread model Qt needs
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  # the host's moc, uic and rcc, which the cross build of Qt and ours run
  qt6-base-dev qt6-base-dev-tools
  cmake ninja-build ccache
  # Qt's and SQLite's source from Debian: dpkg-source unpacks, tclsh makes
  # SQLite's one-file source
  dpkg-dev tcl
  # the zip
  zip
  # the trial under Wine on a virtual screen with a window manager, and its
  # screen picture
  wine wine64 xvfb xauth openbox xdotool imagemagick fonts-wqy-zenhei
)

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
