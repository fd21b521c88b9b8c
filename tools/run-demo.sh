#!/usr/bin/env bash
# Builds the program, makes a small demo trade database and starts the
# program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
demo="$(pwd)/build/demo/TradeDB"
build/tools/demo/make-demo-db "$demo"
echo "Demo database: $demo"
echo "Type this directory into the program's directory field."
exec build/app/ViridazIZ
