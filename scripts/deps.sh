#!/usr/bin/env bash
# Installs the system packages the build, the program and the tests need, only those missing.
# Extra package names given as arguments are installed too (the benchmarks and fuzzing pass theirs).
set -euo pipefail
packages=(
  cmake g++ make ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-qpa-plugins
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev
  xvfb xauth x11-utils imagemagick fonts-wqy-zenhei fonts-liberation2
  desktop-file-utils appstream
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
