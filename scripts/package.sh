#!/usr/bin/env bash
# Builds the Debian package: a Release build installed under /usr, its library dependencies read
# from the programs by dpkg-shlibdeps. Writes build-package/korvane_<version>_<arch>.deb, which
# installs with `sudo apt install ./build-package/korvane_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh dpkg-dev
build=build-package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVANE_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB)
ls "$build"/korvane_*.deb
