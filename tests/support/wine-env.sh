# Sourced with the run's Wine folder as $1: the environment every Windows test program runs in.
# A Japanese locale makes Wine's ANSI code page 932; a bare LANG would lose against LC_* variables.
vn_wine_dir=$1
export WINEPREFIX="$vn_wine_dir/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINELOADER=/usr/lib/wine/wine64
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8
unset LANG LANGUAGE
VN_WINE=/usr/lib/wine/wine64
VN_WINESERVER=/usr/lib/wine/wineserver64
