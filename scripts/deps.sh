#!/usr/bin/env bash
# Installs the build and test dependencies with apt-get. Quiet and quick when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build ccache g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-multimedia-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libpcre2-dev libjpeg62-turbo-dev libpng-dev libgif-dev imagemagick
  xvfb xauth openbox xdotool
  llvm binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 gcc-mingw-w64-x86-64 gcc-mingw-w64-i686 mingw-w64-tools
  icoutils wine64 fonts-dejavu-core
  # Run-time codecs of the media preview (QtMultimedia plays through GStreamer: AVI, WAVE and others).
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
