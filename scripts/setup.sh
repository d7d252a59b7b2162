#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run, test and benchmark, and the
# packages named as arguments (the benchmarks' peers). Safe to run more than once.
#   scripts/setup.sh [PACKAGE...]
set -euo pipefail
packages=("$@"
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libgl-dev qt6-translations-l10n
  libsndfile1-dev libsdl2-dev libsoxr-dev libebur128-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core x11-utils
  xdotool
  dpkg-dev
  chromium
  libqrencode-dev zbar-tools
  dbus playerctl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
