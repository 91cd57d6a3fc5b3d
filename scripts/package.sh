#!/usr/bin/env bash
# Builds the Debian package of Quelm: a Release build installed under /usr, packed by CPack.
# Usage: scripts/package.sh [BUILD_DIR]   (default ./build-package; the .deb lands there)
# Prints the path of the .deb on its last line.
# Needs dpkg-dev (dpkg-shlibdeps names the libraries the package depends on) and file.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-package}
jobs=$(nproc); [ "$jobs" -gt 2 ] && jobs=2

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DQUELM_BENCH=OFF >&2
cmake --build "$build" -j"$jobs" >&2
rm -f "$build"/quelm_*.deb
(cd "$build" && cpack -G DEB -B "$build" >&2)
deb=$(ls "$build"/quelm_*.deb)
echo "$deb"
