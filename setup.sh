#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, once.
# Quiet when everything is already there. Extra groups: "bench", "fuzz", "package".
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    libsfml-dev libmpg123-dev libopenal-dev libpulse-dev libasound2-dev libx11-dev libxtst-dev libxres-dev libxdamage-dev libgtest-dev
    xvfb xdotool x11-utils x11-apps imagemagick openbox weston xwayland
    python3 python3-pil python3-numpy fonts-texgyre lame sox libsox-fmt-mp3 mpg123
    desktop-file-utils appstream clang-tidy cppcheck
    pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus libasound2-plugins
    libsystemd-dev dbus-daemon dbus-bin playerctl systemd
)
for group in "$@"; do
    case "$group" in
    bench) packages+=(valgrind linux-perf qmmp audacious mpv hyperfine alsa-utils procps) ;;
    fuzz | lint) packages+=(clang libclang-rt-14-dev) ;;
    package) packages+=(lintian dpkg-dev file) ;;
    *) echo "setup.sh: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
