#!/usr/bin/env bash
# Runs one command in a small throw-away VM that has real ALSA MIDI ports, and
# returns its output and exit status. Machines without sound devices (CI,
# most containers) have no MIDI port to test against; this one boots
# Debian's own kernel under QEMU, loads the ALSA sequencer with virtual ports
# (snd-virmidi), and runs the command as root in this machine's own root,
# which it sees read-only, so programs built here run there unchanged. The
# git checkout the command starts in is shared read-write; /tmp, /var/tmp,
# /run and /root are the VM's own, and what it changes in /etc ends with it.
#
# It uses KVM where /dev/kvm can be opened, software emulation otherwise,
# and always stops within its time limit.
#
# usage: scripts/vm/run-in-vm.sh [OPTION...] -- COMMAND [ARG...]
#        scripts/vm/run-in-vm.sh [OPTION...] -c 'BASH SCRIPT'
#   -t SECONDS         time limit for the whole run (default 600); past it the
#                      VM is stopped and the status is 124
#   -C DIR             working directory in the VM (default: this one)
#   -e NAME=VALUE      an environment variable for the command (repeatable)
#   --virmidi N        virtual ports, 0 to 4 (default 1): PortMidi devices 0
#                      and 1 are the first one's output and input
#   --seq-dummy MODE   the kernel's Midi Through: no (default), auto (loaded
#                      the first time a program lists the ports, as on a
#                      stock desktop: devices 0 and 1), yes (loaded first)
#   --usb-gadget       the kernel's USB gadget modules and a dummy USB
#                      controller, with configfs mounted, so that the command
#                      can plug in a USB MIDI keyboard of its own making
#   --share DIR        one more folder shared read-write at its own path
# Exit status: the command's; 124 when the time limit stopped it; 125 when
# the VM itself could not be made or booted (its console is shown then).
# Needs: qemu-system-x86 linux-image-amd64 busybox-static kmod cpio xz-utils
# (scripts/setup.sh --vm installs them). docs/vm.md tells more.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

limit=600 script="" workdir=$PWD virmidi=1 seq_dummy=no usb_gadget=no
environment=() shares=()
die() {
  echo "run-in-vm: $*" >&2
  exit 125
}
while [ $# -gt 0 ]; do
  case $1 in
    -t) limit=$2; shift 2 ;;
    -c) script=$2; shift 2 ;;
    -C) workdir=$2; shift 2 ;;
    -e) environment+=("$2"); shift 2 ;;
    --virmidi) virmidi=$2; shift 2 ;;
    --seq-dummy) seq_dummy=$2; shift 2 ;;
    --share) shares+=("$(realpath "$2")"); shift 2 ;;
    --usb-gadget) usb_gadget=yes; shift ;;
    --) shift; break ;;
    -*) die "unknown option $1 (see the comment at the top of $0)" ;;
    *) break ;;
  esac
done
[ -n "$script" ] || [ $# -gt 0 ] || die "no command given"
[[ $limit =~ ^[1-9][0-9]*$ ]] || die "-t takes whole seconds, not '$limit'"
[[ $virmidi =~ ^[0-4]$ ]] || die "--virmidi takes 0 to 4, not '$virmidi'"
[[ $seq_dummy =~ ^(no|auto|yes)$ ]] || die "--seq-dummy takes no, auto or yes, not '$seq_dummy'"
for variable in "${environment[@]}"; do
  [[ $variable =~ ^[A-Za-z_][A-Za-z0-9_]*= ]] || die "-e takes NAME=VALUE, not '$variable'"
done
qemu=$(command -v qemu-system-x86_64) || die "no qemu-system-x86_64 (apt-get install qemu-system-x86)"
[ -x /bin/busybox ] && ! ldd /bin/busybox >/dev/null 2>&1 || die "no static busybox (apt-get install busybox-static)"
kernel_version=$(for modules in /lib/modules/*; do
  [ -r "/boot/vmlinuz-${modules##*/}" ] && echo "${modules##*/}"; done | sort -V | tail -n 1)
[ -n "$kernel_version" ] || die "no kernel with its modules in /boot (apt-get install linux-image-amd64)"

# --- The boot files, made once per kernel and kept ---------------------------
cache=${ORBWELL_VM_CACHE:-/var/tmp/orbwell-vm}
mkdir -p "$cache" || die "cannot make $cache"

# Debian's kernel is compressed, and unpacking it takes seconds of every
# emulated boot; QEMU starts the unpacked ELF image directly.
unpacked_kernel() {
  local image=$cache/vmlinux-$kernel_version offset
  if [ ! -s "$image" ]; then
    offset=$(LC_ALL=C grep -abo $'\xfd7zXZ' "/boot/vmlinuz-$kernel_version" | head -n 1 | cut -d: -f1)
    [ -n "$offset" ] || { echo "/boot/vmlinuz-$kernel_version"; return; }
    # The stream has the kernel's trailer after it: xz's complaint about it
    # is expected, the ELF header tells whether the image is whole.
    tail -c +$((offset + 1)) "/boot/vmlinuz-$kernel_version" | xz -dc >"$image.part" 2>/dev/null
    if [ "$(head -c 4 "$image.part" | od -An -c | tr -d ' ')" = 177ELF ]; then
      mv "$image.part" "$image"
    else
      rm -f "$image.part"
      echo "/boot/vmlinuz-$kernel_version"
      return
    fi
  fi
  echo "$image"
}

# A small initramfs: busybox, our init, and the modules that reach the
# shared root (9p over virtio), the output ports, and a writable /etc.
initramfs_modules=(virtio_mmio virtio_console 9pnet_virtio 9p overlay)
initramfs() {
  local key image build module file
  key=$({ echo "${initramfs_modules[*]}"; cat "$here/guest-init" /bin/busybox; } | sha256sum | cut -c 1-12)
  image=$cache/initramfs-$kernel_version-$key.cpio.gz
  if [ ! -s "$image" ]; then
    build=$(mktemp -d "$cache/initramfs.XXXXXX") || return 1
    mkdir -p "$build"/{bin,modules,proc,sys,dev,root}
    cp /bin/busybox "$build/bin/" && cp "$here/guest-init" "$build/init" && chmod 755 "$build/init" || return 1
    for file in $(modprobe -S "$kernel_version" --show-depends -a "${initramfs_modules[@]}" |
      awk '$1 == "insmod" && !seen[$2]++ { print $2 }'); do
      module=${file##*/}
      module=${module%%.ko*}
      case $file in
        *.xz) xz -dc "$file" ;;
        *.zst) zstd -qdc "$file" ;;
        *) cat "$file" ;;
      esac >"$build/modules/$module.ko" || return 1
      echo "$module" >>"$build/modules/order"
    done
    (cd "$build" && find . | LC_ALL=C sort | cpio -o -H newc --quiet | gzip -1) >"$image.part" &&
      mv "$image.part" "$image" || return 1
    rm -rf "$build"
  fi
  echo "$image"
}

kernel=$(unpacked_kernel) || die "cannot unpack the kernel"
initrd=$(initramfs) || die "cannot make the initramfs"

# --- This run: the command and what the guest is to set up ----------------------
run=$(mktemp -d "${TMPDIR:-/tmp}/orbwell-vm.XXXXXX") || die "cannot make a run folder"
qemu_pid="" tail_pids=()
stop_vm() {
  [ -n "$qemu_pid" ] && kill -KILL "$qemu_pid" 2>/dev/null
  for pid in "${tail_pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$run"
}
trap stop_vm EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

checkout=$(git -C "$workdir" rev-parse --show-toplevel 2>/dev/null || realpath "$workdir")
{
  echo '#!/bin/bash'
  for variable in "${environment[@]}"; do printf 'export %q\n' "$variable"; done
  printf 'cd %q || exit 125\n' "$(realpath "$workdir")"
  if [ -n "$script" ]; then printf '%s\n' "$script"; else printf 'exec'; printf ' %q' "$@"; echo; fi
} >"$run/command"
printf 'virmidi=%s\nseq_dummy=%s\nusb_gadget=%s\n' "$virmidi" "$seq_dummy" "$usb_gadget" >"$run/settings"

# Every folder shared over 9p: the root read-only, the run folder and the
# checkout read-write.
nine_p=() number=0
share() {  # share TAG PATH [ro]
  nine_p+=(-fsdev "local,id=$1,path=$2,security_model=passthrough,multidevs=remap${3:+,readonly=on}"
    -device "virtio-9p-device,fsdev=$1,mount_tag=$1")
}
share root / ro
share run "$run"
for folder in "$checkout" "${shares[@]}"; do
  [ "$folder" != / ] || die "the root is already shared, read-only"
  [[ $folder != *[[:space:],]* ]] || die "cannot share $folder: no spaces or commas in its path"
  share "share$number" "$folder"
  echo "share$number $folder" >>"$run/shares"
  number=$((number + 1))
done

emulate() {
  # shellcheck disable=SC2054 # the commas are QEMU's
  acceleration=(-accel tcg,thread=multi -cpu max)
  # Emulated, the guest calibrates its clock against an emulated timer, which
  # fails now and then on a busy host and hangs the boot: hand it the host's
  # rate instead.
  local mhz
  mhz=$(awk -F: '/^cpu MHz/ { print int($2); exit }' /proc/cpuinfo)
  clock=""
  grep -qw constant_tsc /proc/cpuinfo && [ "${mhz:-0}" -gt 100 ] && clock="tsc=reliable tsc_early_khz=$((mhz * 1000))"
}
# Some hosts offer a /dev/kvm that cannot run this guest (nested or
# sandboxed virtualisation); once seen, such a host is emulated.
kvm_fails=$cache/kvm-fails
if [ -r /dev/kvm ] && [ -w /dev/kvm ] && [ ! -e "$kvm_fails" ]; then
  acceleration=(-accel kvm -cpu host)
  clock=""
else
  emulate
fi
cpus=$(nproc)
[ "$cpus" -le 4 ] || cpus=4

# boot: starts the VM and waits until it ends, the command has not started
# within the boot limit (status 2), KVM cannot run it (status 3), or the time
# limit is past (status 1). Under KVM, QEMU ending before the guest has
# started the command or left a status is KVM failing too: some hosts abort
# at once ("failed to set MSR"), with no "KVM internal error" line.
boot() {
  rm -f "$run/started" "$run/status"
  : >"$run/stdout"
  : >"$run/stderr"
  # shellcheck disable=SC2054 # the commas are QEMU's
  "$qemu" -nodefaults -no-user-config -display none -monitor none -no-reboot \
    -machine microvm,acpi=on "${acceleration[@]}" -smp "$cpus" -m 2048 \
    -kernel "$kernel" -initrd "$initrd" -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init $clock" \
    -serial "file:$run/console" -device virtio-serial-device \
    -chardev "file,id=stdout,path=$run/stdout" -device virtserialport,chardev=stdout,name=stdout \
    -chardev "file,id=stderr,path=$run/stderr" -device virtserialport,chardev=stderr,name=stderr \
    "${nine_p[@]}" </dev/null >"$run/qemu.log" 2>&1 &
  qemu_pid=$!
  tail -c +1 -f --pid="$qemu_pid" "$run/stdout" &
  tail_pids=($!)
  tail -c +1 -f --pid="$qemu_pid" "$run/stderr" >&2 &
  tail_pids+=($!)
  local boot_deadline=$((SECONDS + 120)) outcome=0
  while kill -0 "$qemu_pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      outcome=1
    elif [ ! -e "$run/started" ] && [ "$SECONDS" -ge "$boot_deadline" ]; then
      outcome=2
    elif grep -q "^KVM internal error" "$run/qemu.log" 2>/dev/null; then
      outcome=3
    fi
    if [ "$outcome" != 0 ]; then
      kill -KILL "$qemu_pid"
      break
    fi
    sleep 0.1
  done
  wait "$qemu_pid" 2>/dev/null
  qemu_pid=""
  wait "${tail_pids[@]}" 2>/dev/null
  if [ "$outcome" = 0 ] && [ "${acceleration[1]}" = kvm ] && [ ! -e "$run/started" ] &&
    [ ! -e "$run/status" ]; then
    outcome=3
  fi
  return "$outcome"
}

show_console() {
  echo "run-in-vm: $1; the VM's console:" >&2
  tail -n 30 "$run/console" "$run/qemu.log" >&2 2>/dev/null
}

# A boot that hangs before the command starts (rare, under emulation) is
# tried once more; the command never runs twice.
deadline=$((SECONDS + limit))
boot
outcome=$?
if [ "$outcome" = 3 ]; then
  echo "run-in-vm: KVM cannot run the VM on this host ($(grep -m 1 . "$run/qemu.log"));" \
    "emulating it, now and from now on" >&2
  : >"$kvm_fails"
  emulate
  boot
  outcome=$?
fi
if [ "$outcome" = 2 ]; then
  echo "run-in-vm: the VM did not boot within 120 s; booting it again" >&2
  boot
  outcome=$?
fi
case $outcome in
  1)
    echo "run-in-vm: stopped at the time limit of $limit s" >&2
    exit 124
    ;;
  2)
    show_console "the VM did not boot"
    exit 125
    ;;
esac
status=$(cat "$run/status" 2>/dev/null)
if [[ ! $status =~ ^[0-9]+$ ]]; then
  show_console "the VM ended without the command's status"
  exit 125
fi
[ "$status" != 125 ] || [ -e "$run/started" ] || show_console "the VM's set-up failed"
exit "$status"
