#!/usr/bin/env bash
# Proves that the programs we ship build reproducibly: a clone of this checkout in another folder,
# with the working tree's changes laid over it, builds the win32 preset's kx_setup.exe and
# kxpack.exe byte for byte as this tree does, and both carry the last commit's time as their link
# time. Builds those two targets here first (nothing, when the tree is built); with --built it
# takes them as they are and touches nothing in this tree, so that it can run beside the tests.
#   scripts/check-reproducible.sh [--built]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
programs=(kx_setup.exe tools/kxpack/kxpack.exe)

[ "${1:-}" = --built ] || bash scripts/build.sh win32:kx_setup,kxpack >/dev/null
for program in "${programs[@]}"; do
  [ -f "build/win32/$program" ] || { echo "build/win32/$program is missing: build the win32 preset first" >&2; exit 1; }
done
copy=$(mktemp -d /tmp/kx-reproduce.XXXXXX)
trap 'rm -rf "$copy"' EXIT
git clone -q --no-checkout "$root" "$copy"
git -C "$copy" checkout -q --detach "$(git rev-parse HEAD)"
# Files deleted but not committed are left out: the copy then holds what the working tree holds.
git ls-files -z -co --exclude-standard | grep -zv '^build/' |
  while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
  tar --null -T - -cf - | tar -xf - -C "$copy"
(cd "$copy" && bash scripts/build.sh win32:kx_setup,kxpack >/dev/null)

commit_time=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
for program in "${programs[@]}"; do
  cmp "build/win32/$program" "$copy/build/win32/$program" ||
    { echo "build/win32/$program differs when built in $copy: the build is not reproducible" >&2; exit 1; }
  # The PE header's time stamp: 4 bytes, 8 after the "PE\0\0" that the DOS header's e_lfanew names.
  stamp=$(python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read()
print(struct.unpack_from("<I", d, struct.unpack_from("<I", d, 60)[0] + 8)[0])' "build/win32/$program")
  [ "$stamp" = "$commit_time" ] ||
    { echo "build/win32/$program carries the link time $stamp, not the last commit's $commit_time" >&2; exit 1; }
done
echo "reproducible: ${programs[*]} built again in another folder are the same bytes, linked at the last commit's time"
