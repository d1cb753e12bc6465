#!/usr/bin/env bash
# Installs the Debian packages tavo needs to build, run, test and package, when
# missing; then Node, the glTF validator that the export tests run, and
# three.js with esbuild, which the build bundles into the web page export.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
packages=(build-essential cmake g++ pkg-config freeglut3-dev libglu1-mesa-dev
          libgl1-mesa-dri libgtest-dev libpng-dev libtinygltf-dev xvfb xauth xdotool
          help2man go-md2man gzip file dpkg-dev desktop-file-utils appstream man-db
          lintian shared-mime-info time chromium assimp-utils "$@")
# Node's own npm comes with some builds of it; Debian's comes apart.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

# In the source tree (ignored by git), so neither the build nor the tests
# reach the network: the validator for the tests, three.js and esbuild for
# the build.  Pinned; installed in one go, as npm drops what one install
# into the folder does not name.
node_packages=(gltf-validator@2.0.0-dev.3.10 three@0.171.0 esbuild@0.24.2)
for p in "${node_packages[@]}"; do
    if [ ! -f "$root/.cache/node/node_modules/${p%@*}/package.json" ] ||
        ! grep -q "\"version\": \"${p##*@}\"" "$root/.cache/node/node_modules/${p%@*}/package.json"; then
        npm install --no-audit --no-fund --no-save --prefix "$root/.cache/node" "${node_packages[@]}" ||
            echo "setup: ${node_packages[*]} could not be installed; the export tests will be skipped (and fail on CI)" >&2
        break
    fi
done
