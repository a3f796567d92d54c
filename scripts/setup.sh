#!/usr/bin/env bash
# Installs the Debian packages the builds need. Safe to run again: it only
# calls apt-get when something is missing.
#   setup.sh          everything: both builds and every test (Wine, MinGW, Xvfb...)
#   setup.sh --linux  only what the Linux build of the logger needs
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  nlohmann-json3-dev googletest libgtest-dev libgmock-dev libbenchmark-dev libsimdjson-dev
  libssl-dev libcurl4-openssl-dev
  opencc libopencc-data
)
if [ "${1:-}" != "--linux" ]; then
  packages+=(
    mingw-w64 g++-mingw-w64-x86-64-posix
    wine xvfb xauth python3
    fonts-dseg fonts-materialdesignicons-webfont fonts-wqy-microhei fonts-dejavu-core
    dpkg-dev fakeroot
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
