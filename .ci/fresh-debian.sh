#!/usr/bin/env bash
# The README's promise on genuinely fresh systems, for one Debian release:
# - a minimal system made with debootstrap from the mirror this machine's own
#   apt sources name, with sudo, a user who uses it and a fresh clone of this
#   checkout, where that user runs exactly the README's commands: run.sh
#   (its window, on an X server of this machine, and no test tool
#   installed), then the tests, the package with the Windows zip, the Windows
#   tests. apt's sources there are written as users have them: on bookworm
#   one-line entries with options, on trixie a deb822 file; the Windows
#   build's set-up must leave apt working and fetch the portmidi source;
# - a second minimal system where nothing else was installed, where the
#   package goes in with apt as a user would install it. Its program is
#   started there as the menu starts it, under an X server of this machine:
#   its window, the MIDI library's failure text, status 255. Then its manual page and menu entry,
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

keyring=/usr/share/keyrings/debian-archive-keyring.gpg
case $suite in
  bookworm) echo "deb [signed-by=$keyring] $mirror $suite main" >"$root/etc/apt/sources.list" ;;
  trixie)
    rm -f "$root/etc/apt/sources.list"
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' "$mirror" "$suite" "$keyring" \
      >"$root/etc/apt/sources.list.d/debian.sources"
    ;;
esac

# run.sh builds the program alone and starts it, here on an X server of this
# machine; with no MIDI device, its window comes up, then the MIDI failure.
say "scripts/run.sh"
source scripts/private-xvfb.sh
trap 'stop_private_xvfb; stop_systems' EXIT
before=$(chroot "$root" dpkg-query -W | wc -l)
mkfifo "$work/$suite-run-input"
exec 5<>"$work/$suite-run-input"
as_user "DISPLAY=$DISPLAY SDL_VIDEODRIVER=x11 scripts/run.sh" <"$work/$suite-run-input" \
  >"$work/$suite-run.log" 2>&1 &
run=$!
start=$SECONDS
until xwininfo -root -tree 2>/dev/null | grep -qF '"OpenGL Test": ('; do
  kill -0 "$run" 2>/dev/null || { tail -n 40 "$work/$suite-run.log"; fail "scripts/run.sh ended without a window"; }
  [ $((SECONDS - start)) -lt 2400 ] || { kill "$run"; fail "scripts/run.sh: no window in 40 minutes"; }
  sleep 1
done
minutes=$(awk -v s=$((SECONDS - start)) 'BEGIN { printf "%.1f", s / 60 }')
for _ in $(seq 200); do grep -qF "type ENTER..." "$work/$suite-run.log" && break; sleep 0.1; done
grep -qF "PortMidi call failed..." "$work/$suite-run.log" || fail "scripts/run.sh: no MIDI failure"
echo >&5
status=0
wait "$run" || status=$?
exec 5>&-
[ "$status" = 255 ] || fail "scripts/run.sh: exit status $status, expected 255"
test_only=$(chroot "$root" dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' \
  googletest libgtest-dev xvfb sway grim wtype jq imagemagick fluidsynth 2>/dev/null | awk '/^ii/ {print $2}' || true)
[ -z "$test_only" ] || fail "scripts/run.sh installed what only the tests use: $test_only"
pass "scripts/run.sh: window after $minutes min, then the MIDI failure, status 255;" \
  "$(($(chroot "$root" dpkg-query -W | wc -l) - before)) packages installed, none of the tests' alone"

say "scripts/test.sh"
as_user "scripts/test.sh" >"$work/$suite-test.log" 2>&1 || { tail -n 40 "$work/$suite-test.log"; fail "scripts/test.sh"; }
grep -E "tests passed|^skipped " "$work/$suite-test.log" || true

say "scripts/package.sh --windows"
status=0
as_user "scripts/package.sh --windows" >"$work/$suite-package.log" 2>&1 || status=$?
case $status in
  0)
    chroot "$root" apt-get update >"$work/$suite-apt-update.log" 2>&1 ||
      { tail -n 20 "$work/$suite-apt-update.log"; fail "apt-get update fails after the Windows set-up"; }
    ls "$root/home/$user/orbwell-midi/build-windows/portmidi-source/"portmidi_*.orig.tar.* >/dev/null ||
      fail "the Windows build has no portmidi source"
    pass "the Windows set-up: apt-get update works, the portmidi source fetched," \
      "$(grep '^built.*zip' "$work/$suite-package.log")"
    ;;
  77) say "$(tail -n 1 "$work/$suite-package.log")" ;;
  *) tail -n 40 "$work/$suite-package.log"; fail "scripts/package.sh --windows" ;;
esac
deb=$(ls "$root/home/$user/orbwell-midi/build-package/"orbwell-midi_*.deb) || fail "no package built"
pass "$(grep '^built.*deb' "$work/$suite-package.log"), judged by lintian, desktop-file-validate and appstreamcli"

say "scripts/test-windows.sh"
status=0
as_user "scripts/test-windows.sh" >"$work/$suite-windows.log" 2>&1 || status=$?
case $status in
  0) pass "$(tail -n 1 "$work/$suite-windows.log" | sed 's/^PASS: //')" ;;
  77) say "$(tail -n 1 "$work/$suite-windows.log")" ;;
  *) tail -n 40 "$work/$suite-windows.log"; fail "scripts/test-windows.sh" ;;
esac

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
# As the menu starts it: through orbwell-midi-autoconnect, which finds the
# installed program beside itself and says once that it connects nothing.
mkdir -p "$work/$suite-menu"
cat >"$work/$suite-menu/orbwell-midi-autoconnect" <<EOF
#!/bin/sh
exec chroot --userspec=nobody:nogroup "$clean" env HOME=/tmp /usr/bin/orbwell-midi-autoconnect "\$@"
EOF
cat >"$work/$suite-error-text" <<EOF
#!/bin/sh
exec chroot --userspec=nobody:nogroup "$clean" /tmp/pm_error_text "\$@"
EOF
chmod +x "$work/$suite-menu/orbwell-midi-autoconnect" "$work/$suite-error-text"
bash tests/e2e/midi_failure_test.sh "$work/$suite-menu/orbwell-midi-autoconnect" "$work/$suite-error-text" ||
  fail "the installed program on a system with nothing else"
pass "the installed program, as the menu starts it: window of 640 x 480, then the MIDI failure, status 255"
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
