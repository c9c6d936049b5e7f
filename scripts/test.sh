#!/usr/bin/env bash
# Everything CI checks, from a fresh clone: machine set-up, formatting, the three builds, the
# Linux package tool's check, a second build of the shipped programs elsewhere that must give the
# same bytes, and every test of the i686 build, the program we ship, under Wine.
# Where the machine cannot run 32-bit programs the x86_64 build's tests run instead, and the
# output says so at its start and at its end.
#   scripts/test.sh                 all of it
#   scripts/test.sh -R PATTERN      only the ctest tests whose names match
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [ "$(id -u)" = 0 ]; then bash scripts/setup-machine.sh; fi
source scripts/suite-build.sh
instead="the tests run the x86_64 build: the shipped i686 kx_setup.exe was NOT run here."
not_shipped_note "$instead"

bash scripts/check-format.sh
# The suite's build whole; of the other Windows build the programs, which must compile cleanly
# too (the resources test reads its kx_setup.exe).
bash scripts/build.sh native "$suite"
other=win64
[ "$suite" = win32 ] || other=win32
bash scripts/build.sh "$other:kx_setup,kxpack,korvex"
file build/win32/kx_setup.exe | grep -q 'PE32 executable (GUI) Intel 80386' ||
  { echo "build/win32/kx_setup.exe is not a 32-bit GUI program" >&2; exit 1; }
ctest --test-dir build/native --output-on-failure "$@"
# The robustness tests feed mutated files through the extract-and-copy pass and the conversion
# in folders of their own, and show no window that another test waits for: two run at once.
# Every other test runs alone, since they share the Wine user profile (Desktop, application data,
# the mutex) and the display.
robust='Robustness|MutatedPackage'
results=("build/$suite/results-robust.xml" "build/$suite/results-rest.xml")
rm -f "${results[@]}"
set +e
if [ $# -gt 0 ]; then
  # The caller's own selection, one test at a time.
  results=("build/$suite/results-rest.xml")
  scripts/with-wine.sh ctest --test-dir "build/$suite" --output-on-failure --output-junit "$root/${results[0]}" \
    "$@" </dev/null
else
  # The second build of the shipped programs, in a clone elsewhere, runs at low priority beside
  # the tests that run alone: those wait on Wine more than they compute, while the robustness
  # tests keep both cores busy. It touches nothing in this tree.
  scripts/with-wine.sh bash -c '
    ctest --test-dir "$1" --output-on-failure -j 2 -R "$2" --output-junit "$3"
    robust=$?
    nice -n 19 bash scripts/check-reproducible.sh --built >build/check-reproducible.log 2>&1 &
    reproducible=$!
    ctest --test-dir "$1" --output-on-failure -E "$2" --output-junit "$4"
    rest=$?
    wait $reproducible
    exit $((robust || rest || $?))' ctest "build/$suite" "$robust" "$root/${results[0]}" "$root/${results[1]}" </dev/null
fi
rc=$?
if [ $# -eq 0 ]; then
  echo
  cat build/check-reproducible.log
fi
set -e

echo
echo "== the $suite build's kx_setup.exe as the end-to-end test drove it"
grep -ah '^kx_setup.exe under test:' "build/$suite/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u ||
  echo "(the end-to-end test did not run)"
not_shipped_note "$instead"
python3 scripts/junit-summary.py "$suite" "${results[@]}" || rc=1
exit $rc
