#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Marovane in build/ with warnings as errors
# and runs every test; then builds it again in build-sanitize/ with the
# address and undefined-behaviour sanitizers and runs every test once more;
# last, in build-tsan/, builds what runs on more than one thread (the core,
# the JACK back end, the window on JACK) with the thread sanitizer and runs
# those tests in it.
# The MIDI tests start a JACK server of their own; the ALSA ones run in a
# virtual machine (tests/support/alsa-vm), which needs root. The Debian
# package of the first tree is checked as well (scripts/check-package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

run_tests() {
  local tree=$1
  shift
  (cd "$tree" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 120 -j"$(nproc)" "$@")
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

# The thread sanitizer cannot be combined with the address sanitizer.
cmake -S . -B build-tsan -DMAROVANE_WERROR=ON -DMAROVANE_TSAN=ON -DBUILD_TESTING=ON
cmake --build build-tsan -j"$(nproc)" --target \
  marovane_core_tests marovane_jack_tests marovane_e2e_tests marovane_server_loss_tests
run_tests build-tsan -L threads
