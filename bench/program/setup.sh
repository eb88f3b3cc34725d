#!/usr/bin/env bash
# Installs what the whole-program benchmark needs beside the project's own dependencies: the
# peer players it is compared with (ffplay comes with ffmpeg, mpv, feh), the X tools that drive
# the viewer, and gcc with the X11 and XTest headers for the screen readers the scripts build. Debian
# packages only; never run by the test command.
set -euo pipefail
packages=(ffmpeg mpv feh xvfb xdotool x11-utils procps openbox zenity gcc libx11-dev libxtst-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
