#!/usr/bin/env bash
# Builds and runs every test: format check, the plain build with all tests
# (GUI and end-to-end ones under Xvfb), ASan+UBSan over the unit and GUI
# tests, TSan over the threaded ones, and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/deps.sh
jobs=$(nproc)

echo "== format check"
mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
if ((${#sources[@]})); then
  clang-format --dry-run --Werror "${sources[@]}"
fi

run_ctest() { # build dir, label regex
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$1" --output-on-failure -L "$2" \
    --timeout 600
}

echo "== plain build"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_APP=ON -DBUILD_BENCH=ON >/dev/null
cmake --build build -j"$jobs"
run_ctest build 'unit|gui|e2e'

echo "== ASan+UBSan build"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=asan -DBUILD_BENCH=OFF -DBUILD_APP=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$root/tests/lsan.supp run_ctest build-asan 'unit|gui'

echo "== TSan build"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=tsan -DBUILD_BENCH=OFF -DBUILD_APP=ON \
  >/dev/null
cmake --build build-tsan -j"$jobs"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp" \
  run_ctest build-tsan 'threads'

echo "== fuzzing the table reader and the SQL parser briefly"
bash tools/fuzz-db.sh 15

echo "== all tests passed"
