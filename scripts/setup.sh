#!/usr/bin/env bash
# Installs the Debian packages tavo needs to build, run, test and package, when missing.
set -euo pipefail
packages=(build-essential cmake g++ pkg-config freeglut3-dev libglu1-mesa-dev
          libgl1-mesa-dri libgtest-dev libpng-dev xvfb xauth xdotool
          help2man gzip file dpkg-dev desktop-file-utils appstream man-db lintian
          shared-mime-info "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
