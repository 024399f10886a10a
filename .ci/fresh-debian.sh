#!/usr/bin/env bash
# The README's promise on genuinely fresh systems: for one Debian release, a
# minimal system made with debootstrap from the mirror this machine's own apt
# sources name, with sudo and a user who uses it, and a fresh clone of this
# checkout. As that user it runs exactly the README's commands (the tests,
# the Windows tests, the package), installs the package with apt, checks the
# installed program, and removes it again without a trace.
# usage: .ci/fresh-debian.sh SUITE WORKDIR
set -euo pipefail
cd "$(dirname "$0")/.."
suite=$1
work=$2
root="$work/$suite"
user=musician

say() { echo "[$suite $(date +%H:%M:%S)] $*"; }

mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list)
[ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; exit 1; }

in_root() { chroot "$root" "$@"; }
as_user() { chroot "$root" runuser -l "$user" -c "cd ~/orbwell-midi && $1"; }

# Everything started inside the system ends with the stage.
stop_root() {
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -9 "${proc#/proc/}" 2>/dev/null || true
  done
  for mount in dev/shm dev/pts dev sys proc; do
    umount -l "$root/$mount" 2>/dev/null || true
  done
}
trap stop_root EXIT

# The tarball of the bare system is made once per release and run, and
# unpacked afresh for each stage.
tarball="$work/$suite-minbase.tgz"
if [ ! -f "$tarball" ]; then
  say "fetching a minimal $suite from $mirror"
  debootstrap --variant=minbase --include=sudo,git,ca-certificates \
    --make-tarball="$tarball" "$suite" "$work/tarball-$suite" "$mirror" >"$work/$suite-debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/$suite-debootstrap.log"; exit 1; }
  rm -rf "$work/tarball-$suite"
fi
rm -rf "$root"
say "unpacking it"
debootstrap --variant=minbase --include=sudo,git,ca-certificates \
  --unpack-tarball="$tarball" "$suite" "$root" "$mirror" >"$work/$suite-debootstrap.log" 2>&1 ||
  { tail -n 20 "$work/$suite-debootstrap.log"; exit 1; }
mount -t proc proc "$root/proc"
mount -t sysfs sys "$root/sys"
mount --bind /dev "$root/dev"
mount -t devpts devpts "$root/dev/pts"
mount -t tmpfs shm "$root/dev/shm"
cp /etc/resolv.conf "$root/etc/resolv.conf"
in_root useradd --create-home --shell /bin/bash "$user"
echo "$user ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
git bundle create "$root/tmp/checkout.bundle" HEAD >/dev/null 2>&1
in_root runuser -l "$user" -c "git -c init.defaultBranch=main -c advice.detachedHead=false clone -q /tmp/checkout.bundle orbwell-midi"

say "scripts/test.sh"
as_user "scripts/test.sh" >"$work/$suite-test.log" 2>&1 || { tail -n 40 "$work/$suite-test.log"; exit 1; }
tail -n 4 "$work/$suite-test.log"
say "scripts/test-windows.sh"
as_user "scripts/test-windows.sh" >"$work/$suite-windows.log" 2>&1 ||
  { tail -n 40 "$work/$suite-windows.log"; exit 1; }
tail -n 1 "$work/$suite-windows.log"
say "scripts/package.sh"
as_user "scripts/package.sh" >"$work/$suite-package.log" 2>&1 ||
  { tail -n 40 "$work/$suite-package.log"; exit 1; }
say "$(grep '^built' "$work/$suite-package.log")"

say "apt install of the package"
as_user 'sudo apt-get install -y -q ./build-package/orbwell-midi_*.deb' >"$work/$suite-install.log" 2>&1 ||
  { tail -n 20 "$work/$suite-install.log"; exit 1; }
as_user 'sudo apt-get install -y -q --no-install-recommends man-db' >>"$work/$suite-install.log" 2>&1
files=$(in_root dpkg -L orbwell-midi)
as_user 'bash tests/e2e/midi_failure_test.sh "$(command -v orbwell-midi)"'
# No MIDI devices here: it says so, and exits 1 as devices 0 and 1 are missing.
devices=$(as_user 'orbwell-midi-devices 2>/dev/null; echo "status $?"')
[ "$devices" = $'no MIDI devices\nstatus 1' ] || { echo "orbwell-midi-devices: $devices" >&2; exit 1; }
as_user 'man -P cat orbwell-midi' | grep -q "orbwell-midi opens one" || { echo "no manual page" >&2; exit 1; }
as_user 'command -v "$(sed -n "s/^Exec=\([^ ]*\).*/\1/p" /usr/share/applications/orbwell-midi.desktop)"' >/dev/null ||
  { echo "the desktop entry's Exec is not on PATH" >&2; exit 1; }

say "apt remove of the package"
as_user 'sudo apt-get remove -y -q orbwell-midi' >>"$work/$suite-install.log" 2>&1
left=()
while read -r path; do
  [ -e "$root$path" ] && [ ! -d "$root$path" ] && left+=("$path")
done <<<"$files"
[ ${#left[@]} -eq 0 ] || { echo "left behind after apt remove: ${left[*]}" >&2; exit 1; }
say "PASS: test.sh, test-windows.sh, package.sh, install, start, remove on a fresh $suite"
