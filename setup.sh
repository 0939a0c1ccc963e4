#!/usr/bin/env bash
# Installs what is missing, builds Quorvane in Release and converts a sample table.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
install_missing $BUILD_PACKAGES

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DQUORV_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"

demo=build/demo
mkdir -p "$demo"
build/release/tools/quorv-mkfixture sample "$demo/customers.db"
build/release/src/quorv "$demo/customers.db" "$demo/customers.csv" /SEP\; /utf8
echo "Converted $demo/customers.db to $demo/customers.csv:"
cat "$demo/customers.csv"
echo
echo "The program is build/release/src/quorv; see README.md for its switches and for installing it"
echo "(scripts/make-deb.sh makes a Debian package; sudo cmake --install build/release installs in /usr/local)."
echo "Run it without arguments on a desktop for the wizard."
