#!/usr/bin/env bash
# Builds Quorvane and runs the whole test suite twice: plain, and with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
install_missing $BUILD_PACKAGES $TEST_PACKAGES

jobs=$(nproc)
# run_suite DIR LOCALE TIMEZONE CMAKE-ARGS...: the suite must pass whatever the caller's locale and time
# zone are, so each build runs it under a different pair.
run_suite() {
    local dir=$1 locale=$2 zone=$3; shift 3
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
    echo "-- tests under LC_ALL=$locale TZ=$zone"
    LC_ALL=$locale TZ=$zone ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

echo "== plain build"
run_suite build/test C Pacific/Auckland -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer and UBSan build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite build/sanitize de_DE.UTF-8 UTC -DCMAKE_BUILD_TYPE=Debug -DQUORV_SANITIZE=ON
