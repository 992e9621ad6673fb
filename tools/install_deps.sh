#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if any is missing.
# Safe to run again: it installs nothing when everything is there.
set -euo pipefail

packages=(g++ make cmake pkg-config libgtest-dev pxlib-dev clang libclang-rt-14-dev qt6-base-dev fonts-wine)
# The Windows build and its test stage: the cross compiler, GoogleTest's
# sources to build with it, Wine to run the programs, zip to pack them, and
# a virtual X server for the window's tests under Wine.
packages+=(g++-mingw-w64-x86-64-posix googletest wine64 zip xvfb xauth)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Run as root (or install these packages yourself): ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
