#!/usr/bin/env bash
# Fails when a C++ source differs from what .clang-format makes of it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/')
[ ${#files[@]} -gt 0 ] || exit 0
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "formatting differs: run  clang-format -i \$(git ls-files '*.cpp' '*.h')" >&2
  exit 1
fi
