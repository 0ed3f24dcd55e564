#!/usr/bin/env bash
# Times the program's extraction of the generated tree (bench/make_tree.py) under Wine, with the
# copy window on the run's own display, next to `vnpack extract` natively in the same run.
# usage: bench/extract_wine.sh [WORKDIR]
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-/tmp/vnupdate-extract-bench}
for preset in host-release win64; do
  cmake --preset "$preset" >/dev/null
done
cmake --build --preset host-release --target vnpack >/dev/null
cmake --build --preset win64 --target extract_probe >/dev/null
vnpack=build/host-release/tools/vnpack
rm -rf "$work" && mkdir -p "$work"
python3 bench/make_tree.py "$work/tree" >/dev/null
"$vnpack" build "$work/tree" -o "$work/update.exe" --stub build/win64/tests/win/extract_probe.exe >/dev/null

ms() { echo $((($(date +%s%N) - $1) / 1000000)); }
start=$(date +%s%N)
"$vnpack" extract "$work/update.exe" "$work/native" >/dev/null
native=$(ms "$start")

wine="$work/wine"
tests/support/wine-prefix start "$wine"
trap 'tests/support/wine-prefix stop "$wine"' EXIT
mkdir -p "$work/wine-out"
dest="Z:$(echo "$work/wine-out" | tr / '\\')"
start=$(date +%s%N)
tests/support/wine-run "$wine" "$work/update.exe" "$dest"
wine_ms=$(ms "$start")
diff -r "$work/tree" "$work/wine-out"
echo "vnpack extract (native): $native ms"
echo "program under Wine:      $wine_ms ms (ratio $(awk -v a="$wine_ms" -v b="$native" 'BEGIN{printf "%.1f", a/b}'))"
