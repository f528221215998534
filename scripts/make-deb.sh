#!/usr/bin/env bash
# Builds the Debian package: configures the packaged build (the program in the system's
# folders, its files in each user's data folder) and leaves one krvs_*.deb in build-deb/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
rm -rf build-deb
# Compiled and linked with Debian's own flags for its packages (dpkg-buildflags: -O2,
# the stack protector, _FORTIFY_SOURCE, read-only relocations bound at start-up),
# without -g as the package ships no debugging symbols; warnings as errors.
# CMAKE_CXX_COMPILER_LAUNCHER=ccache in the environment speeds up a rebuild.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1" | sed 's/\(^\| \)-g\( \|$\)/\1/'; }
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" \
  -DCMAKE_INSTALL_PREFIX=/usr -DKRVS_PER_USER_DATA=ON -DKRVS_BUILD_TESTS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB)
ls build-deb/krvs_*.deb
