#!/usr/bin/env bash
# Installs the Debian packages orbwell-midi needs to be built and run; each
# option adds those of one more task:
#   --tests     the tests and benchmarks
#   --lint      the checks of scripts/lint.sh
#   --vm        the VM with real MIDI ports (scripts/vm/run-in-vm.sh)
#   --package   building and judging the Debian package
#   --windows   cross-compiling the Windows version, and Debian's portmidi
#               source, which it compiles
#   --wine      running the Windows version (its tests)
# Safe to run again: it installs only what is missing, and asks for root only
# then.
# usage: scripts/setup.sh [--tests] [--lint] [--vm] [--package] [--windows] [--wine]
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libportmidi-dev libgl-dev libglu1-mesa-dev libsdl2-dev libwayland-dev libasound2-dev
  alsa-utils
)
windows=false
for option in "$@"; do
  case $option in
    --tests)
      packages+=(
        googletest libgtest-dev libx11-dev libxtst-dev libxdamage-dev
        xvfb xauth x11-utils xfonts-base imagemagick
        sway xwayland grim wtype jq fluidsynth pipewire pipewire-bin dbus
      )
      ;;
    --lint) packages+=(clang-format clang-tidy shellcheck) ;;
    --vm) packages+=(qemu-system-x86 linux-image-amd64 busybox-static kmod cpio xz-utils) ;;
    --package) packages+=(dpkg-dev file lintian desktop-file-utils appstream) ;;
    --windows)
      windows=true
      packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpkg-dev patch)
      ;;
    --wine) packages+=(wine wine64) ;;
    *)
      echo "usage: scripts/setup.sh [--tests] [--lint] [--vm] [--package] [--windows] [--wine]" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# The Windows build compiles PortMidi from Debian's source package, which
# apt-get fetches only where a deb-src entry names the archive it installs
# from. Which archive that is comes from apt's own view of its sources, in
# whatever form they are written: "URI SUITE" of the Debian archive of this
# release, not its security or updates archive. Empty before the first
# apt-get update, which is what tells apt the archives' names.
main_archive() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  { apt-get indextargets --format '$(TARGET_OF) $(IDENTIFIER) $(ORIGIN) $(COMPONENT) $(CODENAME) $(REPO_URI) $(RELEASE)' 2>/dev/null || true; } |
    awk -v codename="$codename" '
      $1 == "deb" && $2 == "Packages" && $3 == "Debian" && $4 == "main" && $5 !~ /-/ {
        if ($5 == codename) { print $6, $7; found = 1; exit }
        if (first == "") first = $6 " " $7
      }
      END { if (!found && first != "") print first }'
}
# has_source URI SUITE: apt has that archive's sources, from a deb-src entry,
# as of its last update.
has_source() {
  apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE)' 2>/dev/null | grep -qxF "deb-src $1 $2"
}
needs_source=false
if $windows; then
  archive=$(main_archive)
  # shellcheck disable=SC2086 # "URI SUITE"
  if [ -z "$archive" ] || ! has_source $archive; then needs_source=true; fi
fi
[ ${#missing[@]} -eq 0 ] && ! $needs_source && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "setup: installing packages needs root: run scripts/setup.sh as root, or install" \
      "sudo and allow yourself to use it. Nothing was changed." >&2
    exit 1
  fi
  sudo="sudo"
fi

# What apt-get says goes to a log; the user sees one line per step and, on
# failure, the end of the log.
log=$(mktemp "${TMPDIR:-/tmp}/orbwell-midi-setup.XXXXXX.log")
step() {
  echo "setup: $1"
  shift
  if ! "$@" >>"$log" 2>&1; then
    echo "setup: failed; the last lines of $log:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

entry=/etc/apt/sources.list.d/orbwell-deb-src.sources
if $needs_source && [ -e "$entry" ]; then
  # An earlier run's entry, made anew below: one written by an older
  # release of this script could keep apt from updating at all.
  step "removing $entry, an earlier run's entry, to make it anew" $sudo rm -f "$entry"
fi
step "updating the package lists" $sudo apt-get update
if $needs_source; then
  archive=$(main_archive)
  if [ -z "$archive" ]; then
    echo "setup: apt's sources name no Debian archive for this release, so the Windows" \
      "build cannot fetch Debian's portmidi source." >&2
    exit 1
  fi
  read -r uri suite <<<"$archive"
  if ! has_source "$uri" "$suite"; then
    step "adding a deb-src entry for $suite from $uri, for Debian's portmidi source" $sudo tee "$entry" \
      < <(printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "$uri" "$suite" /usr/share/keyrings/debian-archive-keyring.gpg)
    # An entry apt cannot use could make every later update fail: it stays
    # only once an update with it has succeeded and fetched its sources.
    echo "setup: updating the package lists with it"
    if ! update=$($sudo apt-get update 2>&1) || ! has_source "$uri" "$suite"; then
      echo "$update" >>"$log"
      $sudo rm -f "$entry"
      $sudo apt-get update >>"$log" 2>&1 || true
      reason=$(grep -E '^(E|W): ' <<<"$update" | grep -v 'Some index files' | tail -n 1)
      echo "setup: apt-get update fails with a deb-src entry for $suite from $uri" \
        "(${reason:-see $log}), so it was removed again and the Windows build cannot fetch" \
        "Debian's portmidi source." >&2
      exit 1
    fi
  fi
fi
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${#missing[@]} packages: ${missing[*]} (the log: $log)" \
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
rm -f "$log"
