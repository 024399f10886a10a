#!/usr/bin/env bash
# The README's promise on genuinely fresh systems, for one Debian release:
# - a minimal system made with debootstrap from the mirror this machine's own
#   apt sources name, with sudo, a user who uses it and a fresh clone of this
#   checkout, where that user runs exactly the README's commands (the tests,
#   the Windows tests, the package);
# - a second minimal system where nothing else was installed, where the
#   package goes in with apt as a user would install it. Its program is
#   started there under an X server of this machine: its window, the MIDI
#   library's failure text, status 255. Then its manual page and menu entry,
#   and it is removed again without a trace.
# Every check prints one line, "PASS: ..." or "FAIL: ...", that .ci/run
# counts; the ctest summary of the tests is in WORKDIR/SUITE-test.log. The
# first failure ends the stage.
# usage: .ci/fresh-debian.sh SUITE WORKDIR
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD
suite=$1
work=$2
root="$work/$suite"
clean="$work/$suite-clean"
user=musician

say() { echo "[$suite $(date +%H:%M:%S)] $*"; }
pass() { say "PASS: $*"; }
fail() {
  say "FAIL: $*"
  exit 1
}

mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
[ -n "$mirror" ] || mirror=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list)
[ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources" >&2; exit 1; }
# A release newer than this debootstrap is made the way sid is.
script=/usr/share/debootstrap/scripts/$suite
[ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid

as_user() { chroot "$root" runuser -l "$user" -c "cd ~/orbwell-midi && $1"; }
in_clean() { chroot "$clean" "$@"; }

mount_system() {
  mount -t proc proc "$1/proc"
  mount -t sysfs sys "$1/sys"
  mount --bind /dev "$1/dev"
  mount -t devpts devpts "$1/dev/pts"
  mount -t tmpfs shm "$1/dev/shm"
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  # The mirror serves a snapshot, and a snapshot of testing outlives its
  # Release file's Valid-Until date. Only in these test systems.
  echo 'Acquire::Check-Valid-Until "false";' >"$1/etc/apt/apt.conf.d/99orbwell-test-system"
}

# Everything started inside the systems ends with the stage.
stop_systems() {
  for system in "$root" "$clean"; do
    for proc in /proc/[0-9]*; do
      [ "$(readlink "$proc/root" 2>/dev/null)" = "$system" ] && kill -9 "${proc#/proc/}" 2>/dev/null || true
    done
    for mount in dev/shm dev/pts dev sys proc; do
      umount -l "$system/$mount" 2>/dev/null || true
    done
  done
}
trap stop_systems EXIT

# The tarball of the bare system is made once per release and run, and
# unpacked afresh for each system.
tarball="$work/$suite-minbase.tgz"
if [ ! -f "$tarball" ]; then
  say "fetching a minimal $suite from $mirror"
  debootstrap --variant=minbase --include=sudo,git,ca-certificates \
    --make-tarball="$tarball" "$suite" "$work/tarball-$suite" "$mirror" "$script" \
    >"$work/$suite-debootstrap.log" 2>&1 || { tail -n 20 "$work/$suite-debootstrap.log"; exit 1; }
  rm -rf "$work/tarball-$suite"
fi
unpack() {
  rm -rf "$1"
  debootstrap --variant=minbase --include=sudo,git,ca-certificates \
    --unpack-tarball="$tarball" "$suite" "$1" "$mirror" "$script" \
    >"$work/$suite-debootstrap.log" 2>&1 || { tail -n 20 "$work/$suite-debootstrap.log"; exit 1; }
  mount_system "$1"
}

# --- The README's commands, as a user with sudo -------------------------------
say "unpacking a minimal $suite"
unpack "$root"
chroot "$root" useradd --create-home --shell /bin/bash "$user"
echo "$user ALL=(ALL) NOPASSWD: ALL" >"$root/etc/sudoers.d/$user"
git bundle create "$root/tmp/checkout.bundle" HEAD >/dev/null 2>&1
chroot "$root" runuser -l "$user" -c \
  "git -c init.defaultBranch=main -c advice.detachedHead=false clone -q /tmp/checkout.bundle orbwell-midi"

say "scripts/test.sh"
as_user "scripts/test.sh" >"$work/$suite-test.log" 2>&1 || { tail -n 40 "$work/$suite-test.log"; fail "scripts/test.sh"; }
grep -E "tests passed|^skipped " "$work/$suite-test.log" || true
say "scripts/test-windows.sh"
status=0
as_user "scripts/test-windows.sh" >"$work/$suite-windows.log" 2>&1 || status=$?
case $status in
  0) pass "$(tail -n 1 "$work/$suite-windows.log" | sed 's/^PASS: //')" ;;
  77) say "$(tail -n 1 "$work/$suite-windows.log")" ;;
  *) tail -n 40 "$work/$suite-windows.log"; fail "scripts/test-windows.sh" ;;
esac
say "scripts/package.sh"
as_user "scripts/package.sh" >"$work/$suite-package.log" 2>&1 ||
  { tail -n 40 "$work/$suite-package.log"; fail "scripts/package.sh"; }
deb=$(ls "$root/home/$user/orbwell-midi/build-package/"orbwell-midi_*.deb)
pass "$(grep '^built' "$work/$suite-package.log"), judged by lintian, desktop-file-validate and appstreamcli"

# --- The package on a system with nothing else --------------------------------
say "unpacking a second minimal $suite"
unpack "$clean"
cp "$deb" "$clean/tmp/"
in_clean apt-get update >"$work/$suite-install.log" 2>&1
DEBIAN_FRONTEND=noninteractive in_clean apt-get install -y "/tmp/$(basename "$deb")" \
  >>"$work/$suite-install.log" 2>&1 || { tail -n 20 "$work/$suite-install.log"; fail "apt install of the package"; }
pass "apt install of the package, $(grep -oE '[0-9]+ newly installed' "$work/$suite-install.log")"
# What SDL loads at run time is there, and what a desktop needs of it.
for needed in libgl1 libegl1 zenity; do
  in_clean dpkg-query -W -f='${Status}' "$needed" 2>/dev/null | grep -q "install ok installed" ||
    fail "the package did not bring $needed"
done
in_clean dpkg-query -W -f='${Package} ${Status}\n' 'libdecor-0-plugin-1-*' 2>/dev/null |
  grep -q "install ok installed" || fail "the package did not bring a title-bar plugin"
pass "the package brought OpenGL for GLX and EGL, zenity and (through SDL) a title-bar plugin"

# The program runs in the second system, on this machine's X server; the
# failure text is the one its own MIDI library gives.
cp "$root/home/$user/orbwell-midi/build/tests/pm_error_text" "$clean/tmp/"
cat >"$work/$suite-program" <<EOF
#!/bin/sh
exec chroot --userspec=nobody:nogroup "$clean" env HOME=/tmp /usr/bin/orbwell-midi "\$@"
EOF
cat >"$work/$suite-error-text" <<EOF
#!/bin/sh
exec chroot --userspec=nobody:nogroup "$clean" /tmp/pm_error_text "\$@"
EOF
chmod +x "$work/$suite-program" "$work/$suite-error-text"
bash tests/e2e/midi_failure_test.sh "$work/$suite-program" "$work/$suite-error-text" ||
  fail "the installed program on a system with nothing else"
pass "the installed program: window of 640 x 480, then the MIDI failure, status 255"
devices=$(in_clean runuser -u nobody -- sh -c 'orbwell-midi-devices 2>/dev/null; echo "status $?"')
[ "$devices" = $'no MIDI devices\nstatus 1' ] || fail "orbwell-midi-devices: $devices"
DEBIAN_FRONTEND=noninteractive in_clean apt-get install -y -q --no-install-recommends man-db \
  >>"$work/$suite-install.log" 2>&1
page=$(in_clean man -P cat orbwell-midi 2>/dev/null || true)
grep -q "orbwell-midi opens one" <<<"$page" || fail "no manual page"
in_clean sh -c 'command -v "$(sed -n "s/^Exec=\([^ ]*\).*/\1/p" /usr/share/applications/orbwell-midi.desktop)"' \
  >/dev/null || fail "the desktop entry's Exec is not on PATH"
pass "orbwell-midi-devices, the manual page and the menu entry"

files=$(in_clean dpkg -L orbwell-midi)
in_clean apt-get remove -y -q orbwell-midi >>"$work/$suite-install.log" 2>&1
left=()
while read -r path; do
  [ -e "$clean$path" ] && [ ! -d "$clean$path" ] && left+=("$path")
done <<<"$files"
[ ${#left[@]} -eq 0 ] || fail "left behind after apt remove: ${left[*]}"
pass "apt remove of the package leaves nothing behind"
cd "$checkout"
