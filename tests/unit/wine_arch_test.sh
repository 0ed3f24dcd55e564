#!/usr/bin/env bash
# The architecture probe's outcomes through its seams: a kernel check that runs or that the kernel
# refuses (an ELF for machine 0xBEEF), a stand-in loader that is missing, fails, hangs or runs.
set -u
unset VN_WINE_32BIT VN_PROBE_ELF32 VN_WINE32_LOADER VN_PROBE_SECONDS
probe=$(cd "$(dirname "$0")/../support" && pwd)/wine-arch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
printf '#!/bin/sh\nexit 42\n' >"$work/runs"
printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\xef\xbe\x01\0\0\0' >"$work/refused"
printf '\0%.0s' $(seq 28) >>"$work/refused"
cat >"$work/wine" <<'EOF'
#!/bin/sh
[ "$1" = --version ] && exit 0
mkdir -p "$WINEPREFIX"
[ "$WINEARCH" = win32 ] || exit 99
[ "$FAKE_EXIT" = hang ] && exec sleep 600
exit "$FAKE_EXIT"
EOF
chmod +x "$work/runs" "$work/refused" "$work/wine"
touch "$work/program.exe"

# check NAME EXIT LINE VAR=VALUE...: the probe in its own folder with the seams set.
check() {
  local name=$1 want_rc=$2 want=$3 got rc
  shift 3
  got=$(env VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/wine" VN_PROBE_SECONDS=1 "$@" \
    "$probe" probe "$work/case-$name" "$work/program.exe" 2>&1)
  rc=$?
  [ "$rc" = "$want_rc" ] && [ "$got" = "$want" ] || { echo "FAIL $name: exit $rc, \"$got\""; failed=1; }
}
check runs 0 "i686 (32-bit Wine)" FAKE_EXIT=32
check refused 1 "x86_64 (this kernel runs no 32-bit code)" VN_PROBE_ELF32="$work/refused" FAKE_EXIT=32
check no-loader 1 "x86_64 (no 32-bit Wine loader that starts: install wine32:i386)" VN_WINE32_LOADER="$work/none"
check fails 1 "x86_64 (32-bit Wine did not run a program: see $work/case-fails/probe.log)" FAKE_EXIT=1
check hangs 1 "x86_64 (32-bit Wine did not run a program: see $work/case-hangs/probe.log)" FAKE_EXIT=hang
# A failed run leaves no half-made prefix for the next probe; a good one keeps it.
[ -e "$work/case-fails/prefix" ] || [ ! -d "$work/case-runs/prefix" ] && { echo "FAIL: prefix kept or lost"; failed=1; }
# Where a 32-bit loader runs, the built-in kernel check must say so.
. "$(dirname "$probe")/wine-loaders.sh"
if find_wine_loaders i686 && "$VN_WINE" --version >/dev/null 2>&1 && ! "$probe" kernel "$work/kernel"; then
  echo "FAIL kernel: the check says no, yet $VN_WINE runs"
  failed=1
fi
exit $failed
