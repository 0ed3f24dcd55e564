# Sourced with the run's Wine folder as $1: the environment every Windows test program runs in.
# A Japanese locale makes Wine's ANSI code page 932; a bare LANG would lose against LC_* variables.
# A test that must see another system sets VN_WINE_LOCALE (for example en_US.UTF-8: code page 1252).
vn_wine_dir=$1
# Test programs find the run's folder (screenshot requests) through this.
export VN_WINE_DIR=$vn_wine_dir
export WINEPREFIX="$vn_wine_dir/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINELOADER=/usr/lib/wine/wine64
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
VN_WINE=/usr/lib/wine/wine64
VN_WINESERVER=/usr/lib/wine/wineserver64
