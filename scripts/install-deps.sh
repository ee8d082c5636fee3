#!/usr/bin/env bash
# Installs every Debian package the build, the programs and the tests need.
# Idempotent: when everything is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-image-formats-plugins
  libgl-dev libxkbcommon-dev
  libmpg123-dev libout123-0 libmpg123-0 mpg123
  libgtest-dev googletest libgmock-dev
  xvfb xauth openbox xdotool x11-utils
  pulseaudio pulseaudio-utils sox libsox-fmt-mp3 lame twolame ffmpeg python3 python3-numpy
  fonts-liberation imagemagick qt6-translations-l10n python3-pil
  dbus-daemon dbus-bin playerctl at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  xdg-desktop-portal xdg-desktop-portal-gtk
  dpkg-dev file lintian appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
