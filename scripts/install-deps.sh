#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, and nothing when they are all present.
# Usage: scripts/install-deps.sh [--test|--fuzz]   (--test adds what the test suite uses, --fuzz
# the compiler and runtime of the fuzz targets)
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev
  libgdk-pixbuf-2.0-dev libseccomp-dev libyuv-dev
  heif-gdk-pixbuf webp-pixbuf-loader libavif-gdk-pixbuf libheif-dev liblcms2-dev libjpeg-dev libwebp-dev zlib1g-dev
  libepoxy-dev libgl-dev libgl1-mesa-dri
  libfreetype-dev libfontconfig-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav
  libvorbis-dev timgm6mb-soundfont
  zenity
  python3 python3-pil python3-fonttools fonts-vlgothic
  xauth x11-xserver-utils
)
if [[ "${1:-}" == "--test" ]]; then
  packages+=(googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb x11-utils xdotool openbox libxfixes-dev libxrandr-dev imagemagick ffmpeg gstreamer1.0-tools libheif-examples libavif-bin desktop-file-utils shared-mime-info clang-format
             # the package test: dpkg-shlibdeps (dpkg-dev, file), lintian, appstreamcli, man
             dpkg-dev file lintian appstream man-db)
fi
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
