#!/usr/bin/env bash
# Installs the Debian packages Dravik needs to build, run and test, and only
# those that are missing. Safe to run again and again.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  # keeps compiled objects across the build flavours and fresh clones
  ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the window's translations (lrelease, lupdate) and Qt's own, for its boxes
  qt6-l10n-tools qt6-translations-l10n
  libbenchmark-dev
  # Debian's HTTP server package does not pull the WebSockets module its CMake
  # files ask for
  qt6-httpserver-dev qt6-websockets-dev libsqlite3-dev libsystemd-dev systemd
  xvfb xauth
  xdg-utils trayer xdotool openbox x11-utils
  # the window read through AT-SPI, as a screen reader reads it
  at-spi2-core gir1.2-atspi-2.0
  libjpeg62-turbo-dev
  fonts-wqy-zenhei
  # installing and packaging: the icon's bitmaps, checks of the installed
  # files, the Debian package and its trial install
  librsvg2-bin desktop-file-utils appstream man-db
  dpkg-dev lintian debootstrap
  # the NetworkManager provider and its tests' testbed
  libsystemd-dev network-manager dnsmasq-base dbus iproute2 util-linux
  python3-dbus python3-gi
  # the pppd provider's tests: Debian's pppd, and pon/poff for its benchmark
  ppp
  # the fuzzing harnesses: clang with libFuzzer and the sanitizers' runtimes
  clang libclang-rt-14-dev
  # promtool, which checks the service's metrics page as Prometheus reads it
  prometheus
  # the test set-up's locales
  locales
)

# The locales whose time formats the tests read: 12-hour with AM/PM, Chinese,
# and 24-hour.
test_locales=(en_US.UTF-8 zh_CN.UTF-8 de_DE.UTF-8)

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

generate_locales() {
  local available missing_locales=() locale_name
  available=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
  for locale_name in "${test_locales[@]}"; do
    local wanted
    wanted=$(echo "$locale_name" | tr '[:upper:]' '[:lower:]' | sed 's/utf-8/utf8/')
    grep -qx "$wanted" <<<"$available" || missing_locales+=("$locale_name")
  done
  [[ ${#missing_locales[@]} -eq 0 ]] && return 0
  echo "Generating locales: ${missing_locales[*]}"
  for locale_name in "${missing_locales[@]}"; do
    if ! grep -q "^${locale_name} UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "${locale_name} UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  done
  "${sudo[@]}" locale-gen >/dev/null
}

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  generate_locales
  exit 0
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
  "${missing[@]}" >/dev/null
generate_locales
