#!/usr/bin/env bash
# Installs every Debian package the build, the programs and the tests need.
# Idempotent: when everything is present it prints nothing and touches nothing.
# With the argument "windows": what the Windows build needs instead (scripts/windows.sh).
set -euo pipefail

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
apt=($SUDO apt-get -o DPkg::Lock::Timeout=600)

if [ "${1:-}" = windows ]; then
  # Wine's 32-bit half, and mpg123's source package for libmpg123 built for Windows.
  update=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    update=1
  fi
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    . /etc/os-release
    $SUDO tee /etc/apt/sources.list.d/zampolo-deb-src.sources >/dev/null <<LIST
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME $VERSION_CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
    update=1
  fi
  packages=(
    build-essential cmake ninja-build pkg-config dpkg-dev binutils
    mingw-w64 wine wine32:i386 wine64 googletest
    python3 sox libsox-fmt-mp3 lame twolame ffmpeg mpg123
  )
else
  update=0
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
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ $update -eq 0 ] && exit 0

"${apt[@]}" update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
