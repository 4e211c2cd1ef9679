#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# run-in-alsa-vm.sh CMD [ARGS...]
#
# Runs CMD inside a throw-away virtual machine that has a real ALSA sequencer:
# QEMU (TCG, no KVM needed) boots Debian's own kernel, loads snd-seq-dummy
# ("Midi Through", client 14) and snd-hrtimer, and mounts the host's / at the
# same paths, so CMD runs as root with the same working directory and
# environment. CMD's output is printed when it ends and its status returned.
#
# Exit status: CMD's; 77 when the machine cannot start here (not root, QEMU
# or a static busybox missing), so that a test run skips rather than fails;
# 125 when the machine failed; 124 when it timed out.
#
# The first run fetches the kernel package with `apt-get download` (some
# 70 MB; nothing is installed) and unpacks it into the cache.
#   ALSA_VM_CACHE    kernel and initramfs cache (./alsa-vm-cache)
#   ALSA_VM_MEM      MiB (1024)    ALSA_VM_SMP (nproc)    ALSA_VM_TIMEOUT s (900)
#   ALSA_VM_KVM=1    use KVM instead of emulating the CPU; off by default,
#                    since a /dev/kvm inside a virtual machine may not work
#                    (seen here: QEMU aborting, or the guest never booting)
#   ALSA_VM_MODULES  modules to load with their dependencies
#                    ("snd-seq-dummy snd-hrtimer")
#   ALSA_VM_VERBOSE=1  print the guest's console on stderr
#
# Inside: stdin is /dev/null; /proc /sys /dev /run are the guest's own; there
# is no network and no X server; 9p cannot open FIFOs on the shared /, so put
# them in /dev/shm. Never run code built with -march=native: the emulated CPU
# lacks some of the host's instructions.
set -euo pipefail

CACHE=${ALSA_VM_CACHE:-$PWD/alsa-vm-cache}
MEM=${ALSA_VM_MEM:-1024}
SMP=${ALSA_VM_SMP:-$(nproc)}
TIMEOUT=${ALSA_VM_TIMEOUT:-900}
MODULES=${ALSA_VM_MODULES:-snd-seq-dummy snd-hrtimer}
if [ "${ALSA_VM_KVM:-0}" = 1 ]; then ACCEL=kvm; CPU=host
else ACCEL=tcg,thread=multi; CPU=max; fi

die() { echo "run-in-alsa-vm: $*" >&2; exit 125; }
cannot_start() { echo "run-in-alsa-vm: no ALSA virtual machine here: $*" >&2; exit 77; }
[ $# -ge 1 ] || die "usage: $0 CMD [ARGS...]"
# The host's / is shared with the guest's root as its owner (9p passthrough).
[ "$(id -u)" -eq 0 ] || cannot_start "it must run as root"
command -v qemu-system-x86_64 >/dev/null || cannot_start "qemu-system-x86_64 is missing (package qemu-system-x86)"
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 || cannot_start "no static /bin/busybox (package busybox-static)"
command -v depmod >/dev/null || PATH=$PATH:/usr/sbin:/sbin
command -v depmod >/dev/null || cannot_start "depmod is missing (package kmod)"

# Once: the kernel, its sound modules and a tiny initramfs, into the cache.
setup() {
    local pkg tmp kver
    pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/{print $2; exit}')
    [ -n "$pkg" ] || die "cannot resolve linux-image-amd64 (run apt-get update)"
    tmp=$(mktemp -d "$CACHE/setup.XXXXXX")
    (cd "$tmp" && apt-get download "$pkg" >/dev/null 2>&1) || die "apt-get download $pkg failed"
    dpkg-deb -x "$tmp"/*.deb "$tmp/kroot"
    rm -f "$tmp"/*.deb
    kver=$(ls "$tmp/kroot/lib/modules")
    depmod -b "$tmp/kroot" "$kver"
    # The initramfs: static busybox, the modules that mount 9p, and /init.
    mkdir -p "$tmp/ird/bin" "$tmp/ird/mod"
    cp /bin/busybox "$tmp/ird/bin/busybox"
    modprobe -d "$tmp/kroot" -S "$kver" -a --show-depends virtio_pci 9pnet_virtio 9p |
        awk '$1=="insmod"{print $2}' | awk '!s[$0]++' | while read -r m; do
            cp "$m" "$tmp/ird/mod/"; basename "$m" >> "$tmp/ird/mod/order"; done
    cat > "$tmp/ird/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox mkdir -p /proc /sys /dev /host /sbin /usr/bin /usr/sbin
/bin/busybox --install -s
mount -t proc proc /proc; mount -t sysfs sysfs /sys; mount -t devtmpfs dev /dev
for m in $(cat /mod/order); do insmod /mod/$m; done
job=; for a in $(cat /proc/cmdline); do case $a in alsavm.job=*) job=${a#*=};; esac; done
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose hostroot /host ||
    { echo "ALSA-VM: 9p mount failed"; reboot -f; }
H=/host
for m in $(cat $H$job/modules); do insmod $H$m || echo "ALSA-VM: insmod $m failed"; done
mount -t proc proc $H/proc; mount -t sysfs sysfs $H/sys; mount -t devtmpfs dev $H/dev
mkdir -p $H/dev/pts $H/dev/shm; mount -t devpts devpts $H/dev/pts; mount -t tmpfs shm $H/dev/shm
mount -t tmpfs run $H/run
chroot $H /bin/bash $job/cmd.sh </dev/null >$H$job/stdout 2>$H$job/stderr
echo $? > $H$job/rc
sync; umount -a -r 2>/dev/null; reboot -f
INIT
    chmod +x "$tmp/ird/init"
    (cd "$tmp/ird" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) > "$tmp/initrd.img"
    # The uncompressed ELF kernel boots directly (PVH), some 2.5 s sooner
    # than the bzImage under emulation; the bzImage when it cannot be had.
    local bz="$tmp/kroot/boot/vmlinuz-$kver" off
    off=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$bz" | head -n1 | cut -d: -f1)
    { [ -n "$off" ] && tail -c +$((off + 1)) "$bz" | xz -dcq > "$tmp/vmlinuz"; } 2>/dev/null || true
    [ "$(head -c4 "$tmp/vmlinuz" 2>/dev/null | od -An -c | tr -d ' ')" = 177ELF ] ||
        cp "$bz" "$tmp/vmlinuz"
    # Only the sound modules are kept.
    find "$tmp/kroot/lib/modules/$kver/kernel" -mindepth 1 -maxdepth 1 ! -name sound -exec rm -rf {} +
    depmod -b "$tmp/kroot" "$kver"
    rm -rf "$CACHE/kroot" "$tmp/ird"
    mv "$tmp/kroot" "$CACHE/kroot"; mv "$tmp/vmlinuz" "$tmp/initrd.img" "$CACHE/"
    echo "$kver" > "$CACHE/kver"; rmdir "$tmp"
}
mkdir -p "$CACHE"
exec 9>"$CACHE/.lock"; flock 9
[ -s "$CACHE/kver" ] && [ -s "$CACHE/initrd.img" ] && [ -s "$CACHE/vmlinuz" ] || {
    echo "run-in-alsa-vm: fetching the kernel into $CACHE (once)" >&2
    setup
}
flock -u 9
KVER=$(cat "$CACHE/kver")

# The job folder lives on the host's /, which the guest sees.
JOB=$(mktemp -d /tmp/alsa-vm-job.XXXXXX)
trap 'rm -rf "$JOB"' EXIT
{
    export -p | grep -vE '^declare -[a-zA-Z-]* (BASHOPTS|SHELLOPTS|BASH_[A-Z_]*|EUID|PPID|UID)='
    printf 'cd -- %q || exit 125\nexec' "$PWD"; printf ' %q' "$@"; echo
} > "$JOB/cmd.sh"
# shellcheck disable=SC2086
modprobe -d "$CACHE/kroot" -S "$KVER" -a --show-depends $MODULES |
    awk '$1=="insmod"{print $2}' | awk '!s[$0]++' > "$JOB/modules" || die "bad ALSA_VM_MODULES"

set +e
timeout "$TIMEOUT" qemu-system-x86_64 -nodefaults -no-user-config -display none \
    -monitor none -no-reboot -accel "$ACCEL" -cpu "$CPU" -smp "$SMP" -m "$MEM" \
    -kernel "$CACHE/vmlinuz" -initrd "$CACHE/initrd.img" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 alsavm.job=$JOB" \
    -serial "file:$JOB/console.log" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=passthrough,multidevs=remap \
    </dev/null
qrc=$?
set -e
[ "${ALSA_VM_VERBOSE:-0}" = 1 ] && cat "$JOB/console.log" >&2
cat "$JOB/stdout" 2>/dev/null || true
cat "$JOB/stderr" >&2 2>/dev/null || true
if [ -s "$JOB/rc" ]; then exit "$(cat "$JOB/rc")"; fi
[ "${ALSA_VM_VERBOSE:-0}" = 1 ] || tail -n 30 "$JOB/console.log" >&2
[ $qrc = 124 ] && { echo "run-in-alsa-vm: timed out after ${TIMEOUT}s" >&2; exit 124; }
die "the machine ended without a result (qemu exit $qrc)"
