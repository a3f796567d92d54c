#!/usr/bin/env bash
# Builds release packages into build/package.
#   bash scripts/package.sh deb [--development-key]
#       the command-line logger as a Debian package (program, manual page,
#       udev rule)
# A release needs its own update key: pass its public half in the
# environment as ZELMAR_UPDATE_PUBLIC_KEY (see the README, "Release builds
# and the update key"). The development key, whose private half is in this
# repository, is refused unless --development-key says it is meant.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

kind=${1:-}
[ $# -gt 0 ] && shift
allow=OFF
for argument in "$@"; do
  case $argument in
    --development-key) allow=ON ;;
    *) echo "package.sh: unknown option $argument" >&2; exit 2 ;;
  esac
done

case $kind in
  deb)
    bash scripts/setup.sh --linux
    if ! command -v dpkg-shlibdeps >/dev/null; then
      sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
      "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev fakeroot >/dev/null
    fi
    key=()
    [ -n "${ZELMAR_UPDATE_PUBLIC_KEY:-}" ] && key=(-DZELMAR_UPDATE_PUBLIC_KEY="$ZELMAR_UPDATE_PUBLIC_KEY")
    cmake -S . -B build/package-linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELMAR_BUILD_TESTS=OFF \
      -DZELMAR_BUILD_BENCHMARKS=OFF -DZELMAR_RELEASE_BUILD=ON -DZELMAR_ALLOW_DEVELOPMENT_KEY="$allow" "${key[@]}" \
      >/dev/null
    cmake --build build/package-linux --target dmm5174k -j "$(nproc)"
    mkdir -p build/package
    (cd build/package-linux && cpack -G DEB -B "$root/build/package" >/dev/null)
    ls build/package/*.deb
    ;;
  *)
    echo "usage: bash scripts/package.sh deb [--development-key]" >&2
    exit 2
    ;;
esac
