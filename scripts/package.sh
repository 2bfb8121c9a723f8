#!/usr/bin/env bash
# Builds a Release of korvane and its Debian package, and checks the package with lintian:
#   scripts/package.sh        writes build-release/korvane_VERSION-1_ARCH.deb
# Install it with: sudo apt install ./build-release/korvane_VERSION-1_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build package

# Compiled and linked with the hardening that Debian's own packages get.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKORVANE_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-release -j"$(nproc)"

rm -f build-release/korvane_*.deb
(cd build-release && cpack -G DEB)
deb=$(ls build-release/korvane_*.deb)
lintian --fail-on error "$deb"
echo "package.sh: wrote $deb"
