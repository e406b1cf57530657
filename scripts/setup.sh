#!/usr/bin/env bash
# Installs every Debian package that build, tests and benchmarks need, then
# configures and builds. Idempotent; runs as root on a fresh Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  zlib1g-dev libssl-dev libfmt-dev libgtest-dev libsystemd-dev
  qt6-base-dev qt6-multimedia-dev qt6-translations-l10n libgl-dev
  unzip zip p7zip-full python3 rsync xvfb xauth hyperfine diffutils attr
  dbus-daemon systemd faketime
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${BUILD_DIR:-build}
BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" ${CMAKE_EXTRA:-}
# BUILD_TARGETS (space-separated) builds only those targets.
cmake --build "$BUILD_DIR" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
