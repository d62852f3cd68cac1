#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Idempotent: asks apt only for what is missing, and refreshes the package
# lists only when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libpulse-dev libasound2-dev libx11-dev libxcb1-dev
  qt6-base-dev qt6-multimedia-dev gstreamer1.0-plugins-good gstreamer1.0-libav
  libzip-dev liblhasa-dev libcdio-dev libcdio-paranoia-dev libdiscid-dev
  libsndfile1-dev libfluidsynth-dev timgm6mb-soundfont
  lame twolame mpg123 ffmpeg python3 time
  xvfb xauth fonts-dejavu-core imagemagick groff-base
  libtag1-dev libuchardet-dev libebur128-dev dbus desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
