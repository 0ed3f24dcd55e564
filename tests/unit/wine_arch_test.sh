#!/usr/bin/env bash
# The architecture probe's outcomes through its seams, whatever this machine runs: the kernel check
# is handed a program that exits 42 (runs) or one the kernel refuses with "Exec format error" (an
# ELF for another machine, as an i386 one is on a kernel without 32-bit support), the loader is a
# stand-in script or missing, and the stand-in "Wine" exits as a program would.
set -u
# The seams come from each case alone, not from the run's environment (VN_WINE_32BIT=0 included).
unset VN_WINE_32BIT VN_PROBE_ELF32 VN_WINE32_LOADER VN_PROBE_SECONDS
probe=$(cd "$(dirname "$0")/../support" && pwd)/wine-arch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

printf '#!/bin/sh\nexit 42\n' >"$work/runs"
# An ELF header for machine 0xBEEF: the kernel refuses it before anything runs.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xef\xbe\x01\x00\x00\x00' >"$work/refused"
printf '\x00%.0s' $(seq 28) >>"$work/refused"
# Stand-in loaders: --version answers; a program "exits" with the code the case asks for, and the
# prefix folder it was given is recorded, so a failed run can be seen to clear it.
cat >"$work/wine" <<'EOF'
#!/bin/sh
[ "$1" = --version ] && exit 0
mkdir -p "$WINEPREFIX"
[ "$WINEARCH" = win32 ] || exit 99
exit "$FAKE_EXIT"
EOF
cat >"$work/wine-no-libs" <<'EOF'
#!/bin/sh
exit 127
EOF
cat >"$work/wine-hangs" <<'EOF'
#!/bin/sh
[ "$1" = --version ] && exit 0
exec sleep 600
EOF
chmod +x "$work/runs" "$work/refused" "$work/wine" "$work/wine-no-libs" "$work/wine-hangs"
touch "$work/program.exe"

# case NAME EXPECTED_EXIT EXPECTED_LINE [VAR=VALUE...]: runs the probe with the seams set.
check() {
  local name=$1 want_rc=$2 want=$3 got rc dir="$work/case-$1"
  shift 3
  got=$(env "$@" "$probe" probe "$dir" "$work/program.exe" 2>&1)
  rc=$?
  if [ "$rc" != "$want_rc" ] || [ "$got" != "$want" ]; then
    echo "FAIL $name: exit $rc, \"$got\" (wanted exit $want_rc, \"$want\")"
    failed=1
  else
    echo "ok   $name: $got"
  fi
}

check runs 0 "i686 (32-bit Wine)" \
  VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/wine" FAKE_EXIT=32
check kernel-refuses 1 "x86_64 (this kernel runs no 32-bit code)" \
  VN_PROBE_ELF32="$work/refused" VN_WINE32_LOADER="$work/wine" FAKE_EXIT=32
check forced 1 "x86_64 (this kernel runs no 32-bit code: VN_WINE_32BIT=0)" \
  VN_WINE_32BIT=0 VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/wine" FAKE_EXIT=32
check loader-missing 1 "x86_64 (no 32-bit Wine loader that starts: install wine32:i386)" \
  VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/none"
check loader-without-libraries 1 "x86_64 (no 32-bit Wine loader that starts: install wine32:i386)" \
  VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/wine-no-libs"
check program-fails 1 "x86_64 (32-bit Wine did not run a program: see $work/case-program-fails/probe.log)" \
  VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/wine" FAKE_EXIT=1
check program-hangs 1 "x86_64 (32-bit Wine did not run a program: see $work/case-program-hangs/probe.log)" \
  VN_PROBE_ELF32="$work/runs" VN_WINE32_LOADER="$work/wine-hangs" VN_PROBE_SECONDS=1

# A failed run leaves no half-made prefix behind for the next probe; a good one keeps it.
[ -e "$work/case-program-fails/prefix" ] && { echo "FAIL program-fails: the prefix was kept"; failed=1; }
[ -d "$work/case-runs/prefix" ] || { echo "FAIL runs: the prefix was not kept"; failed=1; }

# The built-in kernel program is sound: where some 32-bit program demonstrably runs (an installed
# 32-bit Wine loader), the kernel check must say so. Elsewhere there is nothing to compare with.
. "$(dirname "$probe")/wine-loaders.sh"
if find_wine_loaders i686 && "$VN_WINE" --version >/dev/null 2>&1; then
  if "$probe" kernel "$work/kernel"; then
    echo "ok   kernel: runs 32-bit code, as $VN_WINE shows"
  else
    echo "FAIL kernel: the check says no, yet $VN_WINE runs"
    failed=1
  fi
else
  echo "skip kernel: no 32-bit program here to compare the check with"
fi
exit $failed
