#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail
PKGS=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libjpeg-dev libjpeg-turbo-progs zlib1g-dev libgdk-pixbuf2.0-bin
  libxcb1-dev libwayland-dev wayland-protocols qt6-base-private-dev
  libgtest-dev libgmock-dev
  xvfb xauth x11-utils
  fonts-liberation fonts-dejavu-core
  imagemagick xdotool trayer
  dovecot-pop3d dovecot-imapd openssl
  dpkg-dev file desktop-file-utils appstream
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-x11
  python3-pyatspi at-spi2-core
  gnome-shell python3-dbusmock qt6-wayland
  sway swaybg grim python3-gi gir1.2-gtk-3.0
  xdg-desktop-portal xdg-desktop-portal-gnome
  tzdata
  libical-dev radicale python3-tz
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Package scripts must not start system services (dovecot is started by the tests themselves).
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
