#!/usr/bin/env bash
# Times `vnpack build` of the generated tree (bench/make_tree.py) with the optimised build, then
# checks that `vnpack test` accepts the result and `vnpack extract` gives back the same files with
# the same last-write times. usage: bench/pack_tree.sh [WORKDIR] [--level N]
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-/tmp/vnpack-bench}
shift || true
cmake --preset host-release >/dev/null
cmake --build --preset host-release --target vnpack >/dev/null
vnpack=build/host-release/tools/vnpack
rm -rf "$work" && mkdir -p "$work"
python3 bench/make_tree.py "$work/tree"
printf 'MZ' >"$work/stub.exe"
start=$(date +%s%N)
"$vnpack" build "$work/tree" -o "$work/update.exe" --stub "$work/stub.exe" "$@"
end=$(date +%s%N)
echo "build: $(((end - start) / 1000000)) ms, output $(stat -c %s "$work/update.exe") bytes"
"$vnpack" test "$work/update.exe" | tail -n 1
"$vnpack" extract "$work/update.exe" "$work/out" | tail -n 1
diff -r "$work/tree" "$work/out"
(cd "$work/tree" && find . -type f -printf '%P %T@\n' | sort) >"$work/times.in"
(cd "$work/out" && find . -type f -printf '%P %T@\n' | sort) >"$work/times.out"
cmp "$work/times.in" "$work/times.out"
echo "round trip: same files, same bytes, same last-write times"
