#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the benchmark in build/ and runs it: it
# starts a JACK server of its own, measures the program against it and writes
# the figures to docs/PERFORMANCE.md. Takes about three minutes.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
cmake -S . -B build
cmake --build build --target marovane_bench -j"$(nproc)"
echo "Load before the run: $(uptime)"
./build/bench/marovane_bench docs/PERFORMANCE.md
