#!/bin/sh
# Builds the libFuzzer targets with clang-16 in build/fuzz and runs each one in turn.
#   fuzz/run.sh [-runs N | -time SECONDS] [TARGET ...]   targets: table blob export lists workbook (default: all)
# Prints each target's executions, executions per second and findings; a finding (crash, hang, leak,
# sanitizer report) is saved in build/fuzz/findings/TARGET/ and makes the script exit 1. Keep a fixed
# finding as a regression input in fuzz/regressions/TARGET/: the fuzz_regressions test replays it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
limit="-runs=1000000"
case "${1:-}" in
-runs) limit="-runs=$2"; shift 2 ;;
-time) limit="-max_total_time=$2"; shift 2 ;;
esac
targets=${*:-table blob export lists workbook}

command -v clang++-16 >/dev/null || { echo "fuzz/run.sh: clang++-16 is missing (apt-get install clang-16 libclang-rt-16-dev)" >&2; exit 2; }
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-16 CXX=clang++-16 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORV_FUZZ=ON -DQUORV_TESTS=OFF >/dev/null
else
  cmake "$build" >/dev/null # picks up targets added since
fi
cmake --build "$build" -j2 --target quorv-fuzzseed quorv-mkfixture $(for t in $targets; do echo fuzz_$t; done)

# Seed corpora, made once: fixture tables, the real tables beside the project, and a few lists.
corpus=$build/corpus
if [ ! -d "$corpus" ]; then
  tables=$build/seed-tables
  rm -rf "$tables" && mkdir -p "$tables" "$corpus/table" "$corpus/blob" "$corpus/export" "$corpus/lists"
  "$build/tools/quorv-mkfixture" sample "$tables/sample.db"
  "$build/tools/quorv-mkfixture" alltypes "$tables/alltypes.db"
  "$build/tools/quorv-mkfixture" big 100 "$tables/big.db"
  n=0
  for db in "$tables"/*.db $(find "$root/../shared/testdata/paradox" -iname '*.db' -size -128k 2>/dev/null); do
    n=$((n + 1))
    "$build/fuzz/quorv-fuzzseed" pack "$db" "$corpus/table/$n"
    # Small inputs mutate fastest: seeds over 128 KB are left out.
    if [ "$(wc -c <"$corpus/table/$n")" -gt 131072 ]; then rm "$corpus/table/$n"; continue; fi
    cp "$corpus/table/$n" "$corpus/export/$n"
    "$build/fuzz/quorv-fuzzseed" blob "$db" "$corpus/blob/$n" 2>/dev/null || rm -f "$corpus/blob/$n"
  done
  printf 'Char:*e*\nShort:>0\nDate:<=01.02.2024\nMemo:!empty()\n' >"$corpus/lists/filter"
  printf 'Long:>=-5\nTime:empty()\nTimestamp:>31.12.1999\nChar:SM?TH\nBCD:<1\n' >"$corpus/lists/more"
  printf 'Char,"Date",Logical\n' >"$corpus/lists/columns"
  rm -rf "$tables"
fi

# Workbooks to append to: the fixture tables exported to .xls and .xlsx.
if [ ! -d "$corpus/workbook" ]; then
  tables=$build/seed-books
  rm -rf "$tables" && mkdir -p "$tables" "$corpus/workbook"
  "$build/tools/quorv-mkfixture" sample "$tables/sample.db"
  "$build/tools/quorv-mkfixture" alltypes "$tables/alltypes.db"
  for t in sample alltypes; do
    for ext in xls xlsx; do
      "$build/fuzz/quorv-fuzzseed" book "$tables/$t.db" "$corpus/workbook/$t.$ext"
    done
  done
  rm -rf "$tables"
fi

# Every execution writes its table: in memory (/dev/shm) when there is one.
shm=/dev/shm; [ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$shm/quorv-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# No malloc fill and a small quarantine: twice the executions per second, the same checks.
export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer TMPDIR=$scratch LC_ALL=C.UTF-8 TZ=UTC \
  ASAN_OPTIONS=detect_leaks=1:max_malloc_fill_size=0:quarantine_size_mb=16
status=0
for t in $targets; do
  findings=$build/findings/$t
  mkdir -p "$findings"
  log=$build/fuzz_$t.log
  # One job at a time: the machine is shared. A run of a target over 10 s is a hang; 1 GB is too much
  # memory for inputs of at most 128 KB.
  "$build/fuzz/fuzz_$t" "$limit" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=512 -max_len=131072 \
    -close_fd_mask=3 -print_final_stats=1 -dict="$root/fuzz/paradox.dict" -artifact_prefix="$findings/" \
    "$corpus/$t" >"$log" 2>&1 || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  echo "$t: ${runs:-?} executions, ${speed:-?} per second, $found findings (log: $log)"
  [ -n "$runs" ] || status=1
  [ "$found" -eq 0 ] || status=1
done
exit $status
