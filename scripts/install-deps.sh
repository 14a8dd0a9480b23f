#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: packages already present are not touched, so a second run costs nothing.
set -euo pipefail

BUILD_PKGS=(build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libsimdjson-dev
  libcurl4-openssl-dev libicu-dev libsecret-1-dev libpulse-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libtesseract-dev libx11-dev libxi-dev libxcb1-dev libxcb-shape0-dev libxcb-xfixes0-dev libxcb-composite0-dev libxcomposite-dev libx11-xcb-dev
  libcanberra-dev libpoppler-cpp-dev libzip-dev libpugixml-dev libcpp-httplib-dev
  libecal2.0-dev libedataserver1.2-dev libical-dev)
RUN_PKGS=(qt6-qpa-plugins qt6-wayland fonts-noto-cjk fonts-noto-color-emoji tesseract-ocr-eng tesseract-ocr-script-jpan
  pulseaudio-utils xdg-utils desktop-file-utils sound-theme-freedesktop qt6-translations-l10n)
TEST_PKGS=(xvfb xauth x11-utils xdotool openbox dbus dbus-x11 libglib2.0-bin
  gnome-keyring libsecret-tools pulseaudio pipewire pipewire-pulse wireplumber sox ffmpeg
  evolution-data-server dex weston gsettings-desktop-schemas xcompmgr libcanberra-pulse libfaketime)

want=("${BUILD_PKGS[@]}" "${RUN_PKGS[@]}")
[ "${1:-}" = "--with-tests" ] && want+=("${TEST_PKGS[@]}")

missing=()
for p in "${want[@]}"; do
  # dpkg-query exits 0 for removed-but-configured packages too, so check the status word.
  if ! dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# sudo starts apt with an environment of its own, so the setting goes in through env.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900)
[ "$(id -u)" -ne 0 ] && apt=(sudo "${apt[@]}")
echo "Installing: ${missing[*]}"
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
