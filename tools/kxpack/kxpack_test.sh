#!/usr/bin/env bash
# kxpack on Linux: the same input gives the same bytes, list and verify read them back, and
# broken or hostile input is refused with a non-zero status and a message on stderr.
#   kxpack_test.sh path/to/kxpack
set -euo pipefail
kxpack=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p src/help src/データ
printf 'program' > src/korvex.exe
head -c 6000 /dev/zero | tr '\0' 'x' > src/help/korvex.chm
printf '日本' > src/データ/名前.txt
touch -d '2024-01-02 03:04:05 UTC' src/korvex.exe
printf 'version\t1.2.0.3\n# a comment\n\nfile\t.\tkorvex.exe\t1\nfile\thelp\tkorvex.chm\t2\t0\t1\t2020-05-06T07:08:09Z\nfile\tデータ\t名前.txt\t4\r\n' > manifest.txt

"$kxpack" --help | grep -q 'kxpack build' || fail "--help"
"$kxpack" build manifest.txt src one.pac --utf8 >/dev/null
"$kxpack" build manifest.txt src two.pac --utf8 >/dev/null
cmp -s one.pac two.pac || fail "two builds differ"
"$kxpack" verify one.pac | grep -q 'ok, 3 members' || fail "verify of a good package"
listing=$("$kxpack" list one.pac --utf8)
grep -q 'version 1.2.0.3' <<<"$listing" || fail "list: version"
grep -q '2024-01-02T03:04:05.0000000Z *1 *0 *0  korvex.exe' <<<"$listing" || fail "list: time from the file"
grep -q '6000 2020-05-06T07:08:09.0000000Z *2 *0 *1  help\\korvex.chm' <<<"$listing" || fail "list: manifest time"
grep -q 'データ\\名前.txt' <<<"$listing" || fail "list: Japanese names"
# The names are stored in Shift-JIS: データ is 83 66 81 5B 83 5E.
od -An -tx1 one.pac | tr -d ' \n' | grep -q '8366815b835e00' || fail "names not in Shift-JIS"
# Header: "PA", length 8, four reserved bytes, version 1.2.0.3 little-endian.
[ "$(head -c 14 one.pac | od -An -tx1 | tr -d ' \n')" = "5041080000000000000003000201" ] || fail "header block"

expect_refusal() {  # what, command...
  local what=$1; shift
  if "$@" >out.txt 2>err.txt; then fail "$what: accepted"; fi
  [ -s err.txt ] || fail "$what: no message"
}
head -c 100 one.pac > cut.pac
expect_refusal "cut package" "$kxpack" verify cut.pac
grep -q 'offset' err.txt || fail "cut package: no offset"
printf 'SZ' | cat - <(tail -c +15 one.pac) > sz.pac
expect_refusal "SZ package" "$kxpack" verify sz.pac
printf 'version\t1.0.0.0\nfile\t..\tkorvex.exe\n' > up.txt
expect_refusal "subfolder .." "$kxpack" build up.txt src o.pac
printf 'version\t1.0.0.0\nfile\t.\t..\\korvex.exe\n' > sep.txt
expect_refusal "name with a separator" "$kxpack" build sep.txt src o.pac
printf 'version\t1.0.0.0\nfile\tC:\tkorvex.exe\n' > drive.txt
expect_refusal "drive" "$kxpack" build drive.txt src o.pac
printf 'version\t1.0.256.0\n' > ver.txt
expect_refusal "version part above 255" "$kxpack" build ver.txt src o.pac
{ printf 'version\t1.0.0.0\n'; for i in $(seq 0 500); do printf 'file\t.\tkorvex.exe\n'; done; } > many.txt
expect_refusal "501 members" "$kxpack" build many.txt src o.pac
printf 'version\t1.0.0.0\nfile\t%s\tkorvex.exe\n' "$(head -c 51 /dev/zero | tr '\0' s)" > long.txt
expect_refusal "subfolder of 51 bytes" "$kxpack" build long.txt src o.pac
for device in NUL con.txt 'Com1' 'lpt9.log' 'aux .x'; do
  printf 'version\t1.0.0.0\nfile\t.\t%s\n' "$device" > dev.txt
  expect_refusal "device name $device" "$kxpack" build dev.txt src o.pac
  printf 'version\t1.0.0.0\nfile\t%s\tkorvex.exe\n' "$device" > dev.txt
  expect_refusal "device subfolder $device" "$kxpack" build dev.txt src o.pac
done
# A package made elsewhere that names a device is refused on reading, with its offset.
printf 'version\t1.0.0.0\nfile\t.\tcox.txt\n' > cox.txt && printf 'x' > src/cox.txt
"$kxpack" build cox.txt src cox.pac >/dev/null
LC_ALL=C sed 's/cox\.txt/con.txt/' cox.pac > con.pac
expect_refusal "device name in a package" "$kxpack" verify con.pac
grep -q 'device' err.txt || fail "device name: not named"
[ ! -e o.pac ] || fail "a refused build left its output"
expect_refusal "no command" "$kxpack"
echo "kxpack: all checks passed"
