#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
# Idempotent; prints nothing when everything is already there.
set -euo pipefail

packages=(
  g++
  make
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  coinor-libclp-dev
  coinor-libcbc-dev
  qt6-base-dev
  qt6-charts-dev
  libqt6opengl6-dev
  libgl-dev
  libcli11-dev
  nlohmann-json3-dev
  libssl-dev
  qt6-svg-dev
  libboost-dev
  poppler-utils
  pybind11-dev
  python3-dev
  python3-numpy
  python3-pip
  python3-setuptools
  python3-venv
  python3-wheel
  dpkg-dev
  clang-format
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
    echo "error: need root (or sudo) to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
