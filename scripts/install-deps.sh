#!/usr/bin/env bash
# Installs every Debian package the build, the programs and the tests need, on Debian 12
# and 13 alike: real package names only, which both releases have (the -dev packages
# bring the runtime libraries of their release).
# Idempotent: when everything is present it prints nothing and runs no apt command.
# With the argument "dev": also clang and its runtime (the fuzz preset) and clang-format.
# With the argument "windows": what the Windows build needs instead (scripts/windows.sh).
set -euo pipefail

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
apt=($SUDO apt-get -o DPkg::Lock::Timeout=600)
update=0
declare -A needed_for

# need PURPOSE PACKAGE...: what each package is for, said when it cannot be had.
need() {
  local purpose=$1 p
  shift
  for p; do needed_for[$p]=$purpose; done
}

if [ "${1:-}" = windows ]; then
  # 64-bit Wine only (nothing 32-bit runs here), mpg123's source package for libmpg123
  # built for Windows, and what the Windows end-to-end test needs (display, sound).
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    # The machine's own Debian sources, for source packages too.
    sources=$(python3 "$(dirname "$0")/deb-src.py")
    [ -n "$sources" ] || { echo "No Debian package source configured to take source packages from"; exit 1; }
    printf '%s\n' "$sources" | $SUDO tee /etc/apt/sources.list.d/zampolo-deb-src.sources >/dev/null
    update=1
  fi
  need "the Windows build" build-essential cmake ninja-build pkg-config dpkg-dev binutils \
    mingw-w64 wine wine64 googletest
  need "the Windows tests" python3 python3-numpy python3-pil sox libsox-fmt-mp3 lame twolame \
    ffmpeg mpg123 xvfb xauth openbox xdotool x11-utils imagemagick fonts-liberation \
    pulseaudio pulseaudio-utils
else
  need "the build" build-essential cmake ninja-build pkg-config \
    qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev libmpg123-dev
  # mpg123 holds libout123's output modules: without them every song is silence.
  need "the player" mpg123 libqt6svg6 qt6-image-formats-plugins qt6-translations-l10n \
    fonts-liberation
  need "the tests" libgtest-dev googletest libgmock-dev \
    xvfb xauth openbox xdotool x11-utils \
    pulseaudio pulseaudio-utils sox libsox-fmt-mp3 lame twolame ffmpeg \
    python3 python3-numpy python3-pil imagemagick fonts-dejavu-core \
    dbus-daemon dbus-bin playerctl at-spi2-core python3-pyatspi gir1.2-atspi-2.0 \
    xdg-desktop-portal xdg-desktop-portal-gtk
  need "the Debian package" dpkg-dev file lintian appstream desktop-file-utils
  # Debian 13 and later: the player as a native Wayland client, and its test under a
  # private headless sway (Debian 12 has no vncdotool, which holds its pointer).
  if [ "$(. /etc/os-release && echo "${VERSION_ID:-99}")" -ge 13 ] 2>/dev/null; then
    need "the player on Wayland" qt6-wayland
    need "the Wayland test" sway wtype grim wayvnc vncdotool
  fi
  if [ "${1:-}" = dev ]; then
    # libclang-rt-dev follows the release's default clang (14 on Debian 12, 19 on 13).
    need "the fuzz targets" clang libclang-rt-dev
    need "formatting the code" clang-format
  fi
fi

missing=()
for p in "${!needed_for[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && [ $update -eq 0 ] && exit 0
[ ${#missing[@]} -eq 0 ] || mapfile -t missing < <(printf '%s\n' "${missing[@]}" | sort)

"${apt[@]}" update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
# A package that no apt source offers is named with what it is for, before anything is
# installed.
unknown=0
for p in "${missing[@]}"; do
  if [[ "$(apt-cache policy "$p" 2>/dev/null)" != *"Candidate: "[^\(]* ]]; then
    echo "Cannot install $p (needed for ${needed_for[$p]}): none of this machine's apt sources offers it." >&2
    unknown=1
  fi
done
[ $unknown -eq 0 ] || { echo "Nothing was installed." >&2; exit 1; }
echo "Installing: ${missing[*]}"
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
