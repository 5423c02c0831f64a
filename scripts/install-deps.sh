#!/usr/bin/env bash
# Installs the Debian packages the editor needs; with --test also what the
# tests, fuzzers and benchmarks need; with --windows what the Windows
# cross-build and Wine need. Installs only what is missing.
set -euo pipefail

packages=(build-essential cmake pkg-config liballegro4-dev liballeggl4-dev
          libgl-dev libglu1-mesa-dev libcurl4-openssl-dev libgtk-3-dev libx11-dev libpng-dev
          libjpeg62-turbo-dev x11-utils xdg-utils)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
             xvfb xauth xdotool imagemagick x11-apps python3
             desktop-file-utils appstream shared-mime-info
             python3-pil valgrind pngquant)
fi
if [[ "${1:-}" == "--windows" ]]; then
  packages=(cmake dpkg-dev xz-utils googletest mingw-w64 wine64 wine libz-mingw-w64-dev zip
            xvfb xauth xdotool imagemagick openssl python3)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
