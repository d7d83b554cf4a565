#!/usr/bin/env bash
# Installs the Debian packages Dravik needs to build, run and test, and only
# those that are missing. Safe to run again and again.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libbenchmark-dev
  xvfb xauth
  xdg-utils trayer xdotool
  fonts-wqy-zenhei
  # installing and packaging: the icon's bitmaps, checks of the installed
  # files, the Debian package and its trial install
  librsvg2-bin desktop-file-utils appstream man-db
  dpkg-dev lintian debootstrap
  # the NetworkManager provider and its tests' testbed
  libsystemd-dev network-manager dnsmasq-base dbus iproute2 util-linux
  python3-dbus python3-gi
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
