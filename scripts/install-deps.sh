#!/usr/bin/env bash
# Installs, by Debian package name, everything Quelm needs to build, run and be tested.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git procps
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-qpa-plugins qt6-tools-dev qt6-l10n-tools
  libxcb1-dev libxcb-shm0-dev libx11-dev libgl-dev libegl-dev libgl1-mesa-dri libglx-mesa0 libglm-dev
  libpulse-dev libsndfile1-dev libcdio-dev libjpeg62-turbo-dev
  fonts-ipafont-gothic fonts-dejavu-core xdotool
  xvfb xauth x11-utils x11-xserver-utils i3-wm
  pulseaudio pulseaudio-utils sox lame xscreensaver imagemagick
  mate-screensaver dbus dbus-x11
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  dpkg-dev file libxml2-utils desktop-file-utils lintian
  libwayland-dev wayland-protocols qt6-wayland
  sway swaybg swayidle grim wtype foot weston xwayland jq
  dbus dbus-bin xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk pipewire
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=600 update
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
