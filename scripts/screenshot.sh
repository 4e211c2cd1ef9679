#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the main window into docs/window.png on a virtual X server, with the
# fonts a fresh Debian machine gets from scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
if ! command -v xvfb-run >/dev/null; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends xvfb xauth
fi
cmake -S . -B build
cmake --build build -j"$(nproc)" --target marovane_screenshot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build/tools/marovane_screenshot docs/window.png
echo "Wrote docs/window.png"
