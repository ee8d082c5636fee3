#!/usr/bin/env bash
# The Windows build: zampoplay.exe, zampoinst.exe, MP3.DLL and MSVBVM50.DLL as 64-bit
# Windows files in build-win64/dist/, zipped with LEEME.txt into
# build-win64/zampolo-1.0-win64.zip, and the Windows tests (the layers' and the
# end-to-end ones, on the unzipped files) run under 64-bit Wine. Installs what is
# missing; libmpg123 and libout123 are built for Windows from Debian's source package
# once per build folder. No 32-bit build: these machines cannot run one to prove it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${ZAMPOLO_JOBS:-2}

bash scripts/install-deps.sh windows

# libmpg123 and libout123 (with its win32 output module built in) as static
# libraries for TRIPLET, installed under DIR/mpg123.
build_mpg123() {
  local triplet=$1 dir=$2
  local version
  # Debian's mpg123 binary package comes from the same source as libmpg123, whatever
  # the library's package is called (libmpg123-0, libmpg123-0t64).
  version=$(dpkg-query -W -f='${source:Version}' mpg123)
  [ -f "$dir/mpg123/.built-$version" ] && return
  echo "== libmpg123 $version for $triplet =="
  rm -rf "$dir/mpg123" "$dir/mpg123-src"
  mkdir -p "$dir/mpg123-src"
  (
    cd "$dir/mpg123-src"
    # apt checks each file against the signed index as it fetches it; it then stops on
    # the upstream tarball's signature (.asc), which the archive does not serve. So
    # the files are unpacked without dpkg-source's own check, once every file that the
    # .dsc names but that signature has come.
    apt-get source --download-only "mpg123=$version" >fetch.log 2>&1 || true
    dsc=$(ls mpg123_*.dsc 2>/dev/null || true)
    local missing=""
    [ -n "$dsc" ] && missing=$(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]* [0-9]* //p' "$dsc" |
      grep -v '\.asc$' | while read -r f; do [ -f "$f" ] || echo "$f"; done)
    if [ -z "$dsc" ] || [ -n "$missing" ]; then
      echo "apt-get source mpg123=$version failed: no libmpg123 for Windows without it."
      echo "It needs deb-src entries (scripts/install-deps.sh windows adds them). It said:"
      cat fetch.log
      exit 1
    fi
    dpkg-source --no-check -x "$dsc" src >/dev/null
    cd src
    ./configure --host="$triplet" --prefix="$dir/mpg123" \
      --enable-static --disable-shared --enable-modules=no --with-audio=win32 \
      CFLAGS="-O2 -msse2 -mfpmath=sse" >configure.log 2>&1 ||
      { tail -30 configure.log; exit 1; }
    make -j"$jobs" >make.log 2>&1 || { tail -30 make.log; exit 1; }
    make install >/dev/null
  )
  rm -rf "$dir/mpg123-src"
  touch "$dir/mpg123/.built-$version"
}

# A Wine prefix of the build folder's own, made once; its server kept running for
# ctest, since otherwise every test waits seconds for Wine's helpers.
start_wine() {
  local dir=$1 arch=$2 loader=$3
  export WINEPREFIX=$dir/wineprefix WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all
  if [ ! -f "$WINEPREFIX/.made" ]; then
    rm -rf "$WINEPREFIX"
    "$loader" wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.made"
  fi
  # Wine makes windows only on a display, the one its services start with: the
  # runtime's native forms tests get a private one.
  if [ -z "${DISPLAY:-}" ]; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/xvfb.display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do [ -s "$dir/xvfb.display" ] && break; sleep 0.1; done
    export DISPLAY=:$(cat "$dir/xvfb.display")
  fi
  wineserver -k 2>/dev/null || true # one left by a run that was cut short
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true; [ -z "${xvfb:-}" ] || kill "$xvfb"' EXIT
  # Wine's services start with the first program and live on with the server: started
  # here, they do not hold ctest's output pipe open after a test has ended.
  "$loader" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
}

# The files as Windows loads them, read from the files themselves: 64-bit, needing
# nothing beside them but Windows' own libraries, each with its icon and version
# resource, the programs with their manifest; MP3.DLL's exports undecorated.
check_files() {
  /usr/bin/python3 scripts/pecheck.py "$1"
}

build_preset() {
  local preset=$1
  cmake --preset "$preset" -DZAMPOLO_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
}

dir=$root/build-win64
echo "== win64 =="
build_mpg123 x86_64-w64-mingw32 "$dir"
build_preset win64
check_files "$dir/dist"
ls -l "$dir/zampolo-1.0-win64.zip"
start_wine "$dir" win64 /usr/lib/wine/wine64
ctest --preset win64 -j"$jobs"
