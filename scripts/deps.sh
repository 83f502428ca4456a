#!/usr/bin/env bash
# Installs the Debian 12 packages Chimewell needs to build, run and test.
# Idempotent: does nothing when everything is there already.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev libqt6svg6
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libespeak-ng-dev espeak-ng espeak-ng-data
  libpocketsphinx-dev pocketsphinx-en-us
  libzip-dev liblzma-dev zlib1g-dev libxcb1-dev libxcb-shape0-dev libpulse-dev
  fonts-liberation
  x11-utils xauth
)
if [ "${1:-}" = "--test" ]; then
  packages+=(
    xvfb openbox xdotool faketime imagemagick x11-apps oneko
    clang libclang-rt-14-dev
    sox flite pocketsphinx pulseaudio pulseaudio-utils
    procps time
    trayer dbus-daemon libglib2.0-bin
    python3 libxrandr2 x11-xserver-utils mutter weston xwayland
    lintian debhelper appstream desktop-file-utils dpkg-dev
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
