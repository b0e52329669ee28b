#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    juce-modules-source dpf-source fonts-open-sans
    libcurl4-openssl-dev libfreetype-dev libfontconfig-dev libx11-dev libxrandr-dev
    libxinerama-dev libxcursor-dev libxext-dev libgl-dev libasound2-dev
    libjpeg-dev libpng-dev zlib1g-dev libflac-dev libvorbis-dev libogg-dev
    libsndfile1-dev nlohmann-json3-dev libunistring-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-dev clang-format
    xvfb xauth
    sox
    libjack-jackd2-dev jackd2 jalv lilv-utils sordi lv2-dev lv2file
    dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
