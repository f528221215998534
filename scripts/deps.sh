#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
pkgs=(build-essential cmake pkg-config qt6-base-dev libsqlcipher-dev libsimpleini-dev
      libglib2.0-dev libicu-dev locales python3 xauth xvfb)
# The Debian package (CPack's shlibdeps needs dpkg-dev and file) and its test, and the
# real window manager of the window-placement tests.
pkgs+=(dpkg-dev file openbox x11-utils xdotool)
# Debian's checks of the package and the manual pages' test: lintian, the desktop entry's
# and the AppStream file's validators, man with groff.
pkgs+=(lintian desktop-file-utils appstream man-db groff-base)
# The fuzz targets: clang with its libFuzzer and sanitizer run-times.
pkgs+=(clang libclang-rt-14-dev)
# The formatting check and the static analysis (Debian 12: version 14 of both).
pkgs+=(clang-format clang-tidy)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
