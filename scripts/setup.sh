#!/usr/bin/env bash
# Installs the Debian packages the builds need. Safe to run again: it only
# calls apt-get when something is missing.
#   setup.sh          everything: both builds and every test (Wine, MinGW, Xvfb...)
#   setup.sh --linux  only what the Linux build of the logger needs
#   setup.sh --installer
#                     what compiling the Windows installer needs besides the
#                     Windows build: Wine's 32-bit half (the installer
#                     compiler and the setup programs it makes are 32-bit)
#   setup.sh --screenshots
#                     what the screenshots need besides: an HTML renderer for
#                     pictures of the help pages (Wine's help viewer has none)
set -euo pipefail

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

# Whether this kernel runs 32-bit x86 programs (scripts/probe-32bit.sh).
can_run_32bit() {
  bash "$(dirname "$0")/probe-32bit.sh"
}

if [ "${1:-}" = "--screenshots" ]; then
  if ! command -v wkhtmltoimage >/dev/null; then
    echo "setup: installing wkhtmltopdf"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wkhtmltopdf >/dev/null
  fi
  exit 0
fi

if [ "${1:-}" = "--installer" ]; then
  if ! can_run_32bit; then
    echo "setup: this machine cannot run 32-bit x86 programs (its kernel refuses them), and the installer" >&2
    echo "       compiler and the setup programs it makes are 32-bit: build the installer on a machine that can" >&2
    exit 3
  fi
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "setup: installing wine32:i386"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
  fi
  command -v npm >/dev/null || "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends npm >/dev/null
  exit 0
fi

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
    dpkg-dev fakeroot fp-utils-3.2.2
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

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
