#!/usr/bin/env bash
# The Windows build: zampoplay.exe, zampoinst.exe, MP3.DLL and MSVBVM50.DLL as 32-bit
# Windows files in build-win32/dist/, and the layers' Windows tests run under Wine.
# Installs what is missing; libmpg123 and libout123 are built for Windows from
# Debian's source package once per build folder.
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
  version=$(dpkg-query -W -f='${source:Version}' "libmpg123-0:$(dpkg --print-architecture)")
  [ -f "$dir/mpg123/.built-$version" ] && return
  echo "== libmpg123 $version for $triplet =="
  rm -rf "$dir/mpg123" "$dir/mpg123-src"
  mkdir -p "$dir/mpg123-src"
  (
    cd "$dir/mpg123-src"
    # Checked against the signed index; it then stops on the upstream tarball's
    # missing signature, so the fetched files are unpacked without that check.
    apt-get source --download-only "mpg123=$version" >fetch.log 2>&1 || true
    dsc=$(ls mpg123_*.dsc)
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

# The files as Windows loads them: 32-bit, needing nothing beside them but Windows'
# own libraries, each with its version resource; MP3.DLL's exports undecorated.
check_files() {
  local dist=$1 file imports
  for file in "$dist"/*.exe "$dist"/*.DLL; do
    [ -f "$file" ] || continue
    i686-w64-mingw32-objdump -f "$file" | grep -q 'file format pei-i386' || { echo "$file: not 32-bit"; exit 1; }
    imports=$(i686-w64-mingw32-objdump -p "$file" | sed -n 's/^\tDLL Name: //p' | tr 'a-z' 'A-Z' |
      grep -vxE 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|SHELL32.DLL|OLE32.DLL|OLEAUT32.DLL|COMCTL32.DLL|COMDLG32.DLL|ADVAPI32.DLL|MSVCRT.DLL|SHLWAPI.DLL|WINMM.DLL|GDIPLUS.DLL|UXTHEME.DLL|MSIMG32.DLL|MSVBVM50.DLL' || true)
    [ -z "$imports" ] || { echo "$file needs $imports"; exit 1; }
    i686-w64-mingw32-objdump -h "$file" | grep -q '\.rsrc' || { echo "$file: no resources"; exit 1; }
    echo "$(basename "$file"): $(stat -c %s "$file") bytes"
  done
  local exports
  exports=$(i686-w64-mingw32-objdump -p "$dist/MP3.DLL" | sed -n '/Ordinal\/Name Pointer/,/^$/s/^\t\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
  [ "$exports" = "DllRegisterServer DllUnregisterServer mp3gettime mp3play mp3stop " ] ||
    { echo "MP3.DLL exports: $exports"; exit 1; }
}

build_preset() {
  local preset=$1
  cmake --preset "$preset" -DZAMPOLO_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
}

echo "== win32 =="
build_mpg123 i686-w64-mingw32 "$root/build-win32"
build_preset win32
check_files build-win32/dist

# The tests run where the files run: as 32-bit programs. A kernel that runs no 32-bit
# programs cannot start 32-bit Wine; there the same tests run as 64-bit programs.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  test_preset=win32 test_dir=$root/build-win32 arch=win32 loader=/usr/lib/wine/wine
else
  echo "This machine's kernel runs no 32-bit programs: the Windows tests run as 64-bit programs."
  test_preset=win64 test_dir=$root/build-win64 arch=win64 loader=/usr/lib/wine/wine64
  echo "== win64 =="
  build_mpg123 x86_64-w64-mingw32 "$test_dir"
  build_preset win64
fi
start_wine "$test_dir" "$arch" "$loader"
ctest --preset "$test_preset" -j"$jobs"
