#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that Marovane needs to build and run, and with
# the argument "test" also what its tests and benchmark need; only those that
# are missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libxcb1-dev libjack-jackd2-dev libasound2-dev
  fonts-dejavu-core fonts-liberation2
)
if [ "${1:-}" = test ]; then
  packages+=(
    libgtest-dev jackd2
    xvfb openbox  # windows placed under a real window manager
    pipewire pipewire-bin pipewire-jack  # the JACK tests' and benchmark's second server
    clang libclang-rt-14-dev  # the pattern reader's fuzz test (libFuzzer)
    dpkg-dev lintian appstream desktop-file-utils  # scripts/check-package.sh
    # the ALSA tests' virtual machine (tests/support/alsa-vm)
    qemu-system-x86 busybox-static kmod xz-utils alsa-utils
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
