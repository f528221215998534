#!/usr/bin/env bash
# Builds the Debian package: configures the packaged build (the program in the system's
# folders, its files in each user's data folder) and leaves one krvs_*.deb in build-deb/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
rm -rf build-deb
# Optimised as Debian builds its packages (-O2), warnings as errors.
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_INSTALL_PREFIX=/usr -DKRVS_PER_USER_DATA=ON -DKRVS_BUILD_TESTS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB)
ls build-deb/krvs_*.deb
