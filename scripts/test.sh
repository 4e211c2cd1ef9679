#!/usr/bin/env bash
# Installs what is missing, builds Marovane in build/ with warnings as errors
# and runs every test. The MIDI tests start a JACK server of their own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DMAROVANE_WERROR=ON
cmake --build build -j"$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 120 -j"$(nproc)"
