# Sourced with the run's Wine folder as $1: the environment every Windows test program runs in.
# A Japanese locale makes Wine's ANSI code page 932; a bare LANG would lose against LC_* variables.
# A test that must see another system sets VN_WINE_LOCALE (for example en_US.UTF-8: code page 1252).
# `wine-prefix start` wrote the run's architecture and loaders into wine.env: i686 programs run in a
# 32-bit prefix under the 32-bit loader, x86_64 ones in a 64-bit prefix.
vn_wine_dir=$1
if [ -s "$vn_wine_dir/wine.env" ]; then
  . "$vn_wine_dir/wine.env"
else
  . "$(dirname "${BASH_SOURCE[0]}")/wine-loaders.sh"
  VN_WINE_ARCH=x86_64
  find_wine_loaders x86_64 || true
fi
# Test programs find the run's folder (screenshot requests) through this.
export VN_WINE_DIR=$vn_wine_dir
export WINEPREFIX="$vn_wine_dir/prefix"
if [ "$VN_WINE_ARCH" = i686 ]; then
  export WINEARCH=win32
else
  export WINEARCH=win64
fi
export WINEDEBUG=-all
export WINELOADER=$VN_WINE
export WINESERVER=$VN_WINESERVER
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=${VN_WINE_LOCALE:-ja_JP.UTF-8}
unset LANG LANGUAGE
# The run's own X display, written by `wine-prefix start`; GUI tests share it.
if [ -s "$vn_wine_dir/display" ]; then
  DISPLAY=$(cat "$vn_wine_dir/display")
  export DISPLAY
else
  unset DISPLAY
fi
unset WAYLAND_DISPLAY
