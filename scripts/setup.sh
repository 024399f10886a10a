#!/usr/bin/env bash
# Installs the Debian packages orbwell-midi needs to build, run and test.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libportmidi-dev libgl-dev libglu1-mesa-dev libsdl2-dev
  googletest libgtest-dev
  libx11-dev libxtst-dev libxdamage-dev
  xvfb xauth x11-utils xfonts-base imagemagick
)
windows=false
case "${1:-}" in
  --windows)
    windows=true
    packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 dpkg-dev patch)
    ;;
  --package) packages+=(dpkg-dev file lintian desktop-file-utils appstream) ;;
esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The Windows build compiles PortMidi from Debian's source package, which
# apt-get fetches only with a deb-src entry for the same mirror.
if $windows && ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  main=/etc/apt/sources.list.d/debian.sources
  if [ -f "$main" ]; then
    uri=$(awk '/^URIs:/ {print $2; exit}' "$main")
    suite=$(awk '/^Suites:/ {print $2; exit}' "$main")
  else
    read -r uri suite < <(awk '/^deb / {print $2, $3; exit}' /etc/apt/sources.list)
  fi
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" "$suite" | $sudo tee /etc/apt/sources.list.d/orbwell-deb-src.sources >/dev/null
  $sudo apt-get update -qq
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
