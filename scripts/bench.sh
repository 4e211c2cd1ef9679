#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the benchmarks in build/ and runs them: the
# JACK one twice, on a jackd of its own, then on a headless PipeWire of its
# own through PipeWire's libjack; then the ALSA one inside the tests' virtual
# machine (which needs root). Each run measures the program against its MIDI
# system and writes its figures to docs/PERFORMANCE.md. Takes about three
# minutes a run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
cmake -S . -B build -DBUILD_TESTING=ON
cmake --build build --target marovane_bench marovane_alsa_measure -j"$(nproc)"
echo "Load before the run: $(uptime)"
./build/bench/marovane_bench docs/PERFORMANCE.md
echo "Load before the PipeWire run: $(uptime)"
pw-jack ./build/bench/marovane_bench --server pipewire docs/PERFORMANCE.md
echo "Load before the ALSA run: $(uptime)"
# One emulated processor: two, on a 2-core machine, leave the emulator's
# threads waiting on the host for milliseconds at a time, which the figures
# would show as the back end's.
ALSA_VM_SMP=1 ALSA_VM_CACHE="$PWD/build/alsa-vm-cache" tests/support/alsa-vm/run-in-alsa-vm.sh \
  build/bench/alsa/marovane_alsa_measure docs/PERFORMANCE.md
