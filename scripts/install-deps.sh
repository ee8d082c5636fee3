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
  # 64-bit Wine only (nothing 32-bit runs here), mpg123's source package for libmpg123
  # built for Windows, and what the Windows end-to-end test needs (display, sound).
  update=0
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    # The machine's own Debian sources, for source packages too.
    sources=$(python3 "$(dirname "$0")/deb-src.py")
    [ -n "$sources" ] || { echo "No Debian package source configured to take source packages from"; exit 1; }
    printf '%s\n' "$sources" | $SUDO tee /etc/apt/sources.list.d/zampolo-deb-src.sources >/dev/null
    update=1
  fi
  packages=(
    build-essential cmake ninja-build pkg-config dpkg-dev binutils
    mingw-w64 wine wine64 googletest
    python3 python3-numpy python3-pil sox libsox-fmt-mp3 lame twolame ffmpeg mpg123
    xvfb xauth openbox xdotool x11-utils imagemagick fonts-liberation
    pulseaudio pulseaudio-utils
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
  dpkg-dev file lintian appstream desktop-file-utils
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
