#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program on an X display of its own (Xvfb, 1024 x 768 at 96 dpi)
# under the openbox window manager. Exits 77 (skipped) when either is missing.
set -euo pipefail

if ! command -v Xvfb >/dev/null || ! command -v openbox >/dev/null; then
  echo "Xvfb or openbox is not installed: skipped"
  exit 77
fi

scratch=$(mktemp -d)
pids=()
cleanup() {
  # The window manager first, so that it does not complain of a lost display.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number when it is ready.
mkfifo "$scratch/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
if ! read -r number <"$scratch/display"; then
  cat "$scratch/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$number"

# Openbox runs its start-up command once it manages the screen.
openbox --sm-disable --startup "touch $scratch/managing" 2>"$scratch/openbox.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -e "$scratch/managing" ] && break
  sleep 0.1
done
if [ ! -e "$scratch/managing" ]; then
  echo "openbox did not start" >&2
  cat "$scratch/openbox.log" >&2
  exit 1
fi

# In the sanitizer build, leaks of the X11 platform's libraries are not ours.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/xcb-leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
QT_QPA_PLATFORM=xcb "$@"
