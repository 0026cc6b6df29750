#!/usr/bin/env bash
# Installs what the build and the tests need, if it is missing: CMake, g++, Google Test, mingw-w64
# for 32- and 64-bit Windows, Wine (64-bit), Google Benchmark for the frame-time measurement, and
# clang with its sanitizer and libFuzzer runtimes for the fuzz targets. Debian packages; needs root
# (or sudo).
# Usage: scripts/install-deps.sh [native]   ("native" installs only what the Linux build needs)
set -euo pipefail

packages=(cmake g++ make git clang-format libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev)
if [ "${1:-all}" != native ]; then
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "== dependencies: all installed"
  exit 0
fi

echo "== dependencies: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "== dependencies: installed"
