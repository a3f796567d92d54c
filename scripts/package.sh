#!/usr/bin/env bash
# Builds release packages into build/package.
#   bash scripts/package.sh deb [--development-key]
#       the command-line logger as a Debian package (program, manual page,
#       udev rule)
#   bash scripts/package.sh windows [--version X.Y.Z] [--development-key]
#                              [--program DIR] [--output DIR]
#       the window program's installer, ZELMAR_DMM5174K_Setup_X.Y.Z.exe,
#       compiled by the Inno Setup compiler (npm package innosetup) under
#       Wine; the version defaults to the project's. The compiler is a 32-bit
#       program: the machine must be able to run those. --program packs a
#       program folder that is already built (the tests pack the Windows
#       tree's, whose version resource must then say X.Y.Z) instead of
#       building a release; --output is where the installer goes.
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
version=""
program=""
output="build/package"
while [ $# -gt 0 ]; do
  case $1 in
    --development-key) allow=ON ;;
    --version)
      [ $# -ge 2 ] || { echo "package.sh: --version needs X.Y.Z" >&2; exit 2; }
      version=$2; shift ;;
    --program)
      [ $# -ge 2 ] || { echo "package.sh: --program needs a folder" >&2; exit 2; }
      program=$(cd "$2" && pwd); shift ;;
    --output)
      [ $# -ge 2 ] || { echo "package.sh: --output needs a folder" >&2; exit 2; }
      output=$2; shift ;;
    *) echo "package.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
key=()
[ -n "${ZELMAR_UPDATE_PUBLIC_KEY:-}" ] && key=(-DZELMAR_UPDATE_PUBLIC_KEY="$ZELMAR_UPDATE_PUBLIC_KEY")
innosetup_version=6.4.1

case $kind in
  deb)
    [ -z "$version" ] || { echo "package.sh: the Debian package takes the project version" >&2; exit 2; }
    bash scripts/setup.sh --linux
    if ! command -v dpkg-shlibdeps >/dev/null; then
      sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
      "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev fakeroot >/dev/null
    fi
    cmake -S . -B build/package-linux -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELMAR_BUILD_TESTS=OFF \
      -DZELMAR_BUILD_BENCHMARKS=OFF -DZELMAR_RELEASE_BUILD=ON -DZELMAR_ALLOW_DEVELOPMENT_KEY="$allow" "${key[@]}" \
      >/dev/null
    cmake --build build/package-linux --target dmm5174k -j "$(nproc)"
    mkdir -p build/package
    (cd build/package-linux && cpack -G DEB -B "$root/build/package" >/dev/null)
    ls build/package/*.deb
    ;;
  windows)
    bash scripts/setup.sh
    bash scripts/setup.sh --installer
    [ -z "$version" ] && version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt | head -n 1)
    [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "package.sh: the version must be X.Y.Z" >&2; exit 2; }
    tree=build/package-windows
    if [ -z "$program" ]; then
      cmake -S . -B "$tree" -G Ninja --toolchain cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DZELMAR_BUILD_TESTS=OFF -DZELMAR_BUILD_BENCHMARKS=OFF -DZELMAR_RELEASE_BUILD=ON \
        -DZELMAR_ALLOW_DEVELOPMENT_KEY="$allow" -DZELMAR_PRODUCT_VERSION="$version" "${key[@]}" >/dev/null
      cmake --build "$tree" --target DMM5174K -j "$(nproc)"
      program="$root/$tree/program"
      icon="$root/$tree/generated/DMM5174K.ico"
    else
      icon="$(dirname "$program")/generated/DMM5174K.ico"
    fi

    # The compiler, from the npm registry, unpacked once per tree.
    compiler="$root/$tree/innosetup/package/bin/ISCC.exe"
    if [ ! -f "$compiler" ]; then
      mkdir -p "$tree/innosetup"
      (cd "$tree/innosetup" && npm pack --silent "innosetup@$innosetup_version" >/dev/null \
        && tar xzf "innosetup-$innosetup_version.tgz")
    fi
    winpath() { echo "Z:${1//\//\\}"; }
    export WINEPREFIX="$root/$tree/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    trap 'wineserver -k 2>/dev/null || true' EXIT
    [ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
    mkdir -p "$output"
    output=$(cd "$output" && pwd)
    # The compiler is 32-bit: plain wine, which with Wine's 32-bit half
    # installed is the 32-bit loader.
    wine "$compiler" /Qp "/DAppVersion=$version" "/DSourceDir=$(winpath "$program")" \
      "/DOutputDir=$(winpath "$output")" "/DIconFile=$(winpath "$icon")" \
      "$(winpath "$root/packaging/windows/setup.iss")"
    ls "$output/ZELMAR_DMM5174K_Setup_$version.exe"
    ;;
  *)
    echo "usage: bash scripts/package.sh deb|windows [--version X.Y.Z] [--development-key]" >&2
    exit 2
    ;;
esac
