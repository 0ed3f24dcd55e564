# Sourced: find_wine_loaders ARCH (i686 or x86_64) sets VN_WINE and VN_WINESERVER to the Wine loader
# that runs that architecture's programs and to a wineserver, or returns 1 when this machine has
# none. Packages are asked first (Debian keeps the real loaders under /usr/lib/wine, behind wrapper
# scripts on the PATH), then the PATH. A loader counts only when it is an ELF file of the right class.

# Prints 1 for a 32-bit ELF file, 2 for a 64-bit one, nothing otherwise.
wine_elf_class() {
  [ -f "$1" ] || return 0
  case $(od -An -tx1 -N5 "$1" 2>/dev/null | tr -d ' \n') in
    7f454c4601) echo 1 ;;
    7f454c4602) echo 2 ;;
  esac
}

# The first candidate (package file lists and PATH) whose ELF class is $1; candidates follow.
wine_first_elf() {
  local class=$1 c real
  shift
  for c in "$@"; do
    [ -n "$c" ] || continue
    real=$(readlink -f "$c" 2>/dev/null) || continue
    if [ -n "$class" ]; then
      [ "$(wine_elf_class "$real")" = "$class" ] || continue
    else
      [ -n "$(wine_elf_class "$real")" ] || continue
    fi
    echo "$real"
    return 0
  done
  return 1
}

find_wine_loaders() {
  local class pkg names servers
  case $1 in
    i686) class=1 pkg=wine32:i386 names="wine wine32" servers="wineserver32 wineserver" ;;
    x86_64) class=2 pkg=wine64 names="wine64 wine" servers="wineserver64 wineserver" ;;
    *) echo "wine: unknown architecture $1" >&2; return 1 ;;
  esac
  local files listed=() path=() n
  files=$(dpkg -L "$pkg" 2>/dev/null || true)
  for n in $names; do
    listed+=($(grep -E "/$n\$" <<<"$files" || true))
    path+=("$(command -v "$n" 2>/dev/null || true)")
  done
  VN_WINE=$(wine_first_elf "$class" "${listed[@]}" "${path[@]}") || { VN_WINE=; return 1; }
  listed=() path=()
  for n in $servers; do
    listed+=($(grep -E "/$n\$" <<<"$files" || true))
    path+=("$(command -v "$n" 2>/dev/null || true)" "$(dirname "$VN_WINE")/$n")
  done
  # Any wineserver serves both kinds of client.
  VN_WINESERVER=$(wine_first_elf "" "${listed[@]}" "${path[@]}") || { VN_WINESERVER=; return 1; }
}
