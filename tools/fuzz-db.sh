#!/bin/bash
# Builds the database layer's fuzz targets with clang's libFuzzer (ASan and
# UBSan on) and runs each for a while: the table reader on real table files
# as seeds, the SQL parser on the statements the program runs.
#   tools/fuzz-db.sh [seconds per target, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
fixtures="${DB_FIXTURES:-$root/../shared/fixtures/paradox}"
[ -d "$fixtures" ] || fixtures=/work/shared/fixtures/paradox
out="${FUZZ_OUT:-${TMPDIR:-/tmp}/fuzz-db}"
mkdir -p "$out"
cxx="${CXX_FUZZ:-clang++}"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root")
sources=("$root"/db/*.cpp "$root"/platform/{CodePage,DateTime,Files}.cpp)
for target in TableReaderFuzz SqlParserFuzz; do
    "$cxx" "${flags[@]}" "$root/tests/db/fuzz/$target.cpp" "${sources[@]}" -o "$out/$target"
done

tables="$out/table-corpus"
mkdir -p "$tables"
find "$fixtures" -iname '*.db' -size -64k -exec cp -f {} "$tables/" \;
sql="$out/sql-corpus"
mkdir -p "$sql"
cp -f "$root"/tests/db/fuzz/sql-seeds/* "$sql/"

cd "$out"
"$out/TableReaderFuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 "$tables"
"$out/SqlParserFuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 "$sql"
echo "fuzz-db: no crash in ${seconds}s per target"
