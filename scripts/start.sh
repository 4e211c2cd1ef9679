#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Marovane in build/ and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DMAROVANE_WERROR=OFF -DBUILD_TESTING=OFF
cmake --build build --target marovane -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Marovane is built (build/marovane) but cannot start here: it is a desktop program and" >&2
  echo "no display was found (DISPLAY and WAYLAND_DISPLAY are not set). Run this command again" >&2
  echo "from a terminal in your graphical desktop session." >&2
  exit 1
fi
exec ./build/marovane
