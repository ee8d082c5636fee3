#!/usr/bin/env bash
# Builds the Debian package (zampolo_VERSION-1_ARCH.deb) in build-deb/ and prints its
# path last: a release build for the prefix /usr, with Debian's compiler and linker
# flags (hardening, -O2), packed by CPack from the install rules.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Debian's flags, without debug information (the package is stripped). The build type's
# own -O3 is dropped, so that their -O2 holds.
flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g \
        dpkg-buildflags --get "$1"
}
cmake -S . -B build-deb -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DZAMPOLO_SYSTEM_DIR=/usr/lib/zampolo \
    -DZAMPOLO_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
    -DCMAKE_STRIP="$PWD/packaging/strip.sh" \
    >/dev/null
cmake --build build-deb
rm -f build-deb/*.deb
(cd build-deb && cpack -G DEB >/dev/null)
ls "$PWD"/build-deb/*.deb
