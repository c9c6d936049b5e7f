#!/usr/bin/env bash
# The wizard at 144 and 192 DPI: on every page of the real program no static or button text is
# cut, and the driver loads the icons at the sizes of that DPI. Wine reads the display scale
# when its server starts, so the tests run in a prefix of their own, set to each scale in turn,
# on a virtual screen as large in inches as the other tests' own.
#   pages_at_scale.sh E2E-TEST-PROGRAM SHELL-TEST-PROGRAM     (as ctest runs it)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
e2e=$1 shell=$2
failed=()
at_scale() {  # DPI PROGRAM FILTER
  KX_WINE_STATE=$root/build/wine-scaled KX_WINE_DPI=$1 env -u DISPLAY "$root/scripts/with-wine.sh" \
    /usr/lib/wine/wine64 "$2" --gtest_also_run_disabled_tests --gtest_filter="$3" </dev/null
}
for dpi in 144 192; do
  echo "== at $dpi DPI"
  at_scale "$dpi" "$e2e" 'PagesAtScale.*' || failed+=("$dpi DPI: the pages' texts")
  at_scale "$dpi" "$shell" 'WizardTest.WalksThePageTable*' || failed+=("$dpi DPI: the icons")
done
[ ${#failed[@]} -eq 0 ] || { printf 'FAIL at %s (above)\n' "${failed[@]}" >&2; exit 1; }
