#!/usr/bin/env bash
# Installs the Debian packages orbwell-midi needs to build, run and test;
# with --windows also what the Windows build needs, with --package what
# building and judging the Debian package needs. Safe to run again: it
# installs only what is missing, and asks for root only then.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libportmidi-dev libgl-dev libglu1-mesa-dev libsdl2-dev
  googletest libgtest-dev
  libx11-dev libxtst-dev libxdamage-dev libasound2-dev
  xvfb xauth x11-utils xfonts-base imagemagick alsa-utils
  sway xwayland grim wtype jq
)
windows=false
case "${1:-}" in
  --windows)
    windows=true
    packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 dpkg-dev patch)
    ;;
  --package) packages+=(dpkg-dev file lintian desktop-file-utils appstream) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The Windows build compiles PortMidi from Debian's source package, which
# apt-get fetches only with a deb-src entry for the same mirror.
needs_source=false
if $windows && ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  needs_source=true
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

if $needs_source; then
  main=/etc/apt/sources.list.d/debian.sources
  if [ -f "$main" ]; then
    uri=$(awk '/^URIs:/ {print $2; exit}' "$main")
    suite=$(awk '/^Suites:/ {print $2; exit}' "$main")
  else
    read -r uri suite < <(awk '/^deb / {print $2, $3; exit}' /etc/apt/sources.list)
  fi
  step "adding a deb-src entry for $suite, for Debian's portmidi source" $sudo tee \
    /etc/apt/sources.list.d/orbwell-deb-src.sources < <(printf \
    'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" "$suite")
fi
step "updating the package lists" $sudo apt-get update
if [ ${#missing[@]} -gt 0 ]; then
  step "installing ${#missing[@]} packages: ${missing[*]} (the log: $log)" \
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
rm -f "$log"
