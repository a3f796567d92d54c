#!/usr/bin/env bash
# The logger's Debian package, made with CPack from the tested build tree:
# it holds the program, the manual page and the udev rule, apt accepts it
# (a simulated install resolves every dependency), and the packaged program
# runs. Usage: deb_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work"
(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb=$(ls "$work"/dmm5174k_*.deb)
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/dmm5174k ./usr/share/man/man1/dmm5174k.1 ./usr/lib/udev/rules.d/60-zelmar-dmm5174k.rules; do
  grep -q " $file\$" <<<"$contents" || { echo "missing from the package: $file"; echo "$contents"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6' <<<"$depends" || { echo "no shared-library dependencies: $depends"; exit 1; }
apt-get install -s "$deb" >"$work/apt.txt" 2>&1 || { cat "$work/apt.txt"; exit 1; }
grep -q '^Inst dmm5174k' "$work/apt.txt" || { cat "$work/apt.txt"; exit 1; }
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/dmm5174k" --version | grep -q '^dmm5174k '
grep -q '^\.SH EXIT STATUS' "$work/root/usr/share/man/man1/dmm5174k.1"
echo "package ok: $(basename "$deb") ($depends)"
