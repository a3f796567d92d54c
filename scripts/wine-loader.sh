# Sourced: which Wine loader starts 64-bit programs, and what the installed
# Wine is. With Wine's 32-bit half (wine32:i386) installed, plain `wine`
# starts the 32-bit loader: its taskkill cannot see a 64-bit process and its
# reg writes into the 32-bit view of the registry. Every 64-bit program and
# tool is therefore started with the 64-bit loader named here.
#   WINE64           the 64-bit loader (exported)
#   wine_fingerprint what a prefix was made with: the Wine version and
#                    whether the 32-bit half is there

if [ -z "${WINE64:-}" ]; then
  if [ -x /usr/lib/wine/wine64 ]; then
    WINE64=/usr/lib/wine/wine64
  elif command -v wine64 >/dev/null 2>&1; then
    WINE64=$(command -v wine64)
  else
    WINE64=wine
  fi
fi
export WINE64

wine_fingerprint() {
  local version half
  version=$(dpkg-query -W -f='${Version}' wine 2>/dev/null || echo unknown)
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    half="with-wine32"
  else
    half="without-wine32"
  fi
  echo "wine $version $half"
}
