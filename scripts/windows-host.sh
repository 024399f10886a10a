# shellcheck shell=bash
# Sourced by the Windows scripts: where this Debian release cannot build or
# test the Windows version, they stop with one line that says why, and exit
# status 77. The build compiles PortMidi 217's Windows back end from Debian's
# source, which bookworm and trixie have and later releases (PortMidi 2) do
# not; the tests run the exe under Wine, which forky does not have.
windows_host_release=$(. /etc/os-release && echo "${VERSION_CODENAME:-this release}")

require_portmidi_217() {
  scripts/setup.sh  # libportmidi-dev: the release of PortMidi this system has
  local version
  version=$(dpkg-query -W -f='${Version}' libportmidi-dev)
  case "$version" in
    217* | *:217*) ;;
    *)
      echo "SKIP: the Windows build needs PortMidi 217's source, as Debian bookworm and" \
        "trixie have it; $windows_host_release has PortMidi $version"
      exit 77
      ;;
  esac
}

require_wine() {
  command -v wine >/dev/null && return
  local candidate
  candidate=$(apt-cache policy wine 2>/dev/null | awk '/Candidate:/ {print $2}')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ] && return
  echo "SKIP: $windows_host_release has no Wine, which the Windows tests need; run them on" \
    "Debian bookworm or trixie"
  exit 77
}
