#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the benchmark in build/ and runs it twice:
# on a jackd of its own, then on a headless PipeWire of its own through
# PipeWire's libjack. Each run measures the program against its server and
# writes its figures to docs/PERFORMANCE.md. Takes about three minutes a run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
cmake -S . -B build
cmake --build build --target marovane_bench -j"$(nproc)"
echo "Load before the run: $(uptime)"
./build/bench/marovane_bench docs/PERFORMANCE.md
echo "Load before the PipeWire run: $(uptime)"
pw-jack ./build/bench/marovane_bench --server pipewire docs/PERFORMANCE.md
