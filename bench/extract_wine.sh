#!/usr/bin/env bash
# Times the program's extraction of the generated tree (bench/make_tree.py) under Wine, with the
# copy window on the run's own display, next to `vnpack extract` natively in the same run.
# usage: bench/extract_wine.sh [--stub PROBE.exe] [--over] [WORKDIR]
#   --stub  extract with another build of the probe (for instance one built from an older commit)
#   --over  extract over an installed copy of the tree, so every file is replaced, not just created
set -euo pipefail
cd "$(dirname "$0")/.."
stub=build/win64/tests/win/extract_probe.exe
over=0
while [ $# -gt 0 ]; do
  case "$1" in
    --stub) stub=$(realpath "$2"); shift 2 ;;
    --over) over=1; shift ;;
    *) break ;;
  esac
done
work=${1:-/tmp/vnupdate-extract-bench}
for preset in host-release win64; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset host-release --target vnpack >/dev/null
cmake --build --preset win64 --target extract_probe >/dev/null
vnpack=build/host-release/tools/vnpack
rm -rf "$work" && mkdir -p "$work"
python3 bench/make_tree.py "$work/tree" >/dev/null
"$vnpack" build "$work/tree" -o "$work/update.exe" --stub "$stub" >/dev/null

ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
start=$(date +%s%N)
"$vnpack" extract "$work/update.exe" "$work/native" >/dev/null
native=$(ms "$start")

wine="$work/wine"
tests/support/wine-prefix start "$wine"
trap 'tests/support/wine-prefix stop "$wine"' EXIT
if [ "$over" = 1 ]; then
  # An installed game whose every file the update replaces.
  cp -r "$work/tree" "$work/wine-out"
  find "$work/wine-out" -type f -exec truncate -s 100 {} +
else
  mkdir -p "$work/wine-out"
fi
dest="Z:$(echo "$work/wine-out" | tr / '\\')"
start=$(date +%s%N)
tests/support/wine-run "$wine" "$work/update.exe" "$dest"
wine_ms=$(ms "$start")
diff -r "$work/tree" "$work/wine-out"
echo "vnpack extract (native): $native ms"
echo "program under Wine:      $wine_ms ms (ratio $(awk -v a="$wine_ms" -v b="$native" 'BEGIN{printf "%.1f", a/b}'))"
