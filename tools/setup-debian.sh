#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that building, running and testing need.
# Installs only what is missing; safe to run again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    juce-modules-source libcurl4-openssl-dev
    libfreetype-dev libfontconfig1-dev libpng-dev libjpeg-dev zlib1g-dev
    libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev libxcomposite-dev
    fonts-dejavu-core
    libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev
    xvfb xauth xdotool x11-utils imagemagick zip unzip python3 iproute2
    binutils-mingw-w64-x86-64 clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
