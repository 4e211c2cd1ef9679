#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Marovane in build/ with warnings as errors
# and runs every test; then builds it again in build-sanitize/ with the
# address and undefined-behaviour sanitizers and runs every test once more.
# The MIDI tests start a JACK server of their own; the ALSA ones run in a
# virtual machine (tests/support/alsa-vm), which needs root. The Debian
# package of the first tree is checked as well (scripts/check-package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

run_tests() {
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 120 -j"$(nproc)")
}

cmake -S . -B build -DMAROVANE_WERROR=ON -DBUILD_TESTING=ON
cmake --build build -j"$(nproc)"
run_tests build
bash scripts/check-package.sh build

# Both builds share the ALSA test machine's kernel, fetched once.
cmake -S . -B build-sanitize -DMAROVANE_WERROR=ON -DMAROVANE_SANITIZE=ON -DBUILD_TESTING=ON \
  -DMAROVANE_ALSA_VM_CACHE="$PWD/build/alsa-vm-cache"
cmake --build build-sanitize -j"$(nproc)"
run_tests build-sanitize
