#!/usr/bin/env bash
# Builds the Debian package build/release/quorvane_<version>_<arch>.deb from a Release build and
# checks it with lintian when lintian is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
install_missing $BUILD_PACKAGES $PACKAGE_PACKAGES

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUORV_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target package
deb=$(ls -t build/release/quorvane_*.deb | head -n 1)
if command -v lintian >/dev/null; then
    home=$(mktemp -d)
    HOME=$home lintian -I --pedantic "$deb" || status=$?
    rm -rf "$home"
    [ "${status:-0}" -eq 0 ] || { echo "lintian found errors in $deb" >&2; exit 1; }
fi
echo "Built $deb ($(stat -c %s "$deb") bytes). Install it with:"
echo "  sudo apt install ./$deb"
