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

for command in build list verify extract init preview; do
  "$kxpack" --help | grep -q "^  kxpack $command " || fail "--help does not list $command"
done
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
# Header: "PA", length 16, four reserved bytes, version 1.2.0.3 little-endian, "CR32" and the
# CRC-32 of the inner archive as zlib computes it.
[ "$(head -c 18 one.pac | od -An -tx1 | tr -d ' \n')" = "504110000000000000000300020143523332" ] || fail "header block"
python3 -c 'import sys, zlib; d = open(sys.argv[1], "rb").read()
sys.exit(d[18:22] != zlib.crc32(d[22:]).to_bytes(4, "little"))' one.pac || fail "checksum is not the CRC-32 of the archive"

expect_refusal() {  # what, command...
  local what=$1; shift
  if "$@" >out.txt 2>err.txt; then fail "$what: accepted"; fi
  [ -s err.txt ] || fail "$what: no message"
}

expect_refusal "UTF-8 manifest without --utf8" "$kxpack" build manifest.txt src o.pac && grep -q ': line 6 is not Shift-JIS, .*build with --utf8$' err.txt || fail "UTF-8 manifest: $(cat err.txt)"

# One byte of a member changed after the build: the checksum names the bytes it covers.
cp one.pac damaged.pac
printf 'X' | dd of=damaged.pac bs=1 seek=$(($(stat -c %s one.pac) - 1)) conv=notrunc status=none
expect_refusal "damaged member" "$kxpack" verify damaged.pac
grep -q "offsets 22 to $(($(stat -c %s one.pac) - 1)) (the inner archive" err.txt || fail "damage: $(cat err.txt)"
"$kxpack" list damaged.pac >/dev/null 2>&1 && fail "list of a damaged package succeeds"
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

# preview: a version-up of one.pac by a package whose chm is dated earlier than the installed
# one, whose Japanese member follows the chm's decision, and a member added. Names print in
# UTF-8 without --utf8.
grep -q 'データ\\名前.txt' <<<"$("$kxpack" list one.pac)" || fail "list without --utf8: names not in UTF-8"
printf 'version\t1.3.0.0\nfile\t.\tkorvex.exe\nfile\thelp\tkorvex.chm\t2\t0\t0\t2019-01-01T00:00:00Z\nfile\tデータ\t名前.txt\t3\nfile\t.\tcox.txt\t4\n' > next.txt
"$kxpack" build next.txt src next.pac --utf8 >/dev/null
expected=$'replace\tkorvex.exe\tmode 0 replaces without asking
ask-date\thelp\\korvex.chm\ttime 2019-01-01T00:00:00.0000000Z, installed 2020-05-06T07:08:09.0000000Z
follows\tデータ\\名前.txt\tdecision of help\\korvex.chm
new\tcox.txt\tnot installed
1 question'
[ "$("$kxpack" preview next.pac --over one.pac)" = "$expected" ] || fail "preview over a package: $("$kxpack" preview next.pac --over one.pac)"
# Over the installed folder the same, and a file there that next.pac does not name is not listed.
"$kxpack" extract one.pac installed --utf8 >/dev/null && printf 'x' > installed/extra.txt
[ "$("$kxpack" preview next.pac --over installed)" = "$expected" ] || fail "preview over a folder"
# A folder copied from Windows may name the files in other cases: Windows finds them all the same.
mv installed/help installed/HELP && mv installed/HELP/korvex.chm installed/HELP/KORVEX.CHM
[ "$("$kxpack" preview next.pac --over installed)" = "$expected" ] ||
  fail "preview over a folder whose names differ in case: $("$kxpack" preview next.pac --over installed)"
# A path listed twice: the later member's file is extracted over the earlier one's, so both are
# decided from its time, as the setup program does; on its own the earlier one would ask.
printf 'version\t1.3.0.0\nfile\thelp\tkorvex.chm\t2\t0\t0\t2019-01-01T00:00:00Z\nfile\thelp\tkorvex.chm\t2\t0\t0\t2021-01-01T00:00:00Z\n' > twice.txt
"$kxpack" build twice.txt src twice.pac >/dev/null
expected=$'replace\thelp\\korvex.chm\ttime 2021-01-01T00:00:00.0000000Z, installed 2020-05-06T07:08:09.0000000Z (the file of the later member under this path)
replace\thelp\\korvex.chm\ttime 2021-01-01T00:00:00.0000000Z, installed 2021-01-01T00:00:00.0000000Z
0 questions'
[ "$("$kxpack" preview twice.pac --over one.pac)" = "$expected" ] ||
  fail "preview of a path listed twice: $("$kxpack" preview twice.pac --over one.pac)"
expect_refusal "preview of a damaged package" "$kxpack" preview damaged.pac --over one.pac
expect_refusal "preview over a damaged package" "$kxpack" preview next.pac --over damaged.pac
expect_refusal "preview over nothing" "$kxpack" preview next.pac --over missing

# A vendor's folder, four levels deep, through folder lines: the files in the order of their
# stored paths (a nested folder before its parent's files), a file line setting one file's
# options, a second folder line into a subfolder of its own.
mkdir -p vendor/app/data/2024/jan vendor/app/データ/表 vendor/plugins
python3 -c 'import struct, sys
key = "VS_VERSION_INFO\0".encode("utf-16-le")
open(sys.argv[1], "wb").write(b"MZ" + bytes(62) + struct.pack("<HHH", 92, 52, 0) + key + bytes(2) +
                              struct.pack("<I", 0xFEEF04BD) + bytes(48))' vendor/app/app.exe
printf 'MZ no resource' > vendor/app/readme.txt
printf 'january' > vendor/app/data/2024/jan/a.ndb
printf 'b' > vendor/app/data/b.ndb
printf '表の中' > vendor/app/データ/表/x.txt
printf 'plug' > vendor/plugins/p.dll
printf 'version\t2.0.0.1\nfolder\tapp\t.\t2\nfile\tdata\\2024\\jan\ta.ndb\t4\t0\t1\nfolder\tplugins\t拡張\n' > folder.txt
"$kxpack" build folder.txt vendor folder.pac --utf8 >/dev/null || fail "folder lines: $(cat err.txt)"
paths=$("$kxpack" list folder.pac --utf8 | awk 'NR > 3 && NF >= 7 { print $4, $6, $NF }' | tr '\n' '|')
[ "$paths" = "2 0 app.exe|4 1 data\\2024\\jan\\a.ndb|2 0 data\\b.ndb|2 0 readme.txt|2 0 データ\\表\\x.txt|0 0 拡張\\p.dll|" ] ||
  fail "folder lines: $paths"

# extract writes the same bytes back, with the stored times, into a new folder only.
"$kxpack" extract folder.pac unpacked --utf8 >/dev/null || fail "extract"
mkdir -p expected/拡張 && cp -R vendor/app/. expected/ && cp vendor/plugins/p.dll expected/拡張/
diff -r expected unpacked >/dev/null || fail "extract does not give the files back"
[ "$(stat -c %Y unpacked/data/b.ndb)" = "$(stat -c %Y vendor/app/data/b.ndb)" ] || fail "extract: time"
expect_refusal "extract into a folder with files" "$kxpack" extract folder.pac unpacked --utf8

# extract refuses what the setup program refuses, and writes nothing then: here a subfolder ".."
# behind a checksum that matches.
python3 -c 'import sys, zlib; d = bytearray(open(sys.argv[1], "rb").read())
at = d.index("拡張".encode("cp932") + b"\0"); d[at:at + 4] = b"..\\."
d[18:22] = zlib.crc32(d[22:]).to_bytes(4, "little"); open(sys.argv[2], "wb").write(d)' folder.pac hostile.pac
expect_refusal "extract of a name that leads out" "$kxpack" extract hostile.pac outside
grep -q '".." component' err.txt || fail "hostile: $(cat err.txt)"
[ ! -e outside ] || fail "a refused extract wrote something"
expect_refusal "extract of a damaged package" "$kxpack" extract damaged.pac outside

# Folder lines keep the name checks, and two lines cannot put files in the same place.
mkdir -p bad && printf 'x' > 'bad/a:b.txt'
printf 'version\t1.0.0.0\nfolder\tbad\t.\n' > badname.txt
expect_refusal "folder with a name Windows forbids" "$kxpack" build badname.txt . o.pac
grep -q 'bad/a:b.txt' err.txt || fail "forbidden name not named: $(cat err.txt)"
printf 'version\t1.0.0.0\nfolder\tvendor/plugins\t.\nfolder\tvendor/plugins\t.\n' > twice.txt
expect_refusal "two folder lines for one place" "$kxpack" build twice.txt . o.pac

# init: mode 1 for the file with a version resource, 2 for the others; the version to fill in.
"$kxpack" init vendor/app > init.txt
grep -q $'^folder\t.\t.\t2$' init.txt || fail "init: folder line"
[ "$(grep -c $'^file\t' init.txt)" = 1 ] && grep -q $'^file\t.\tapp.exe\t1$' init.txt || fail "init: file lines"
expect_refusal "init's manifest before the version is filled in" "$kxpack" build init.txt vendor/app o.pac
sed -i 's/^version\t.*/version\t1.0.0.0/' init.txt
"$kxpack" build init.txt vendor/app init.pac --utf8 >/dev/null || fail "init's manifest does not build"
[ "$("$kxpack" list init.pac --utf8 | awk '$NF == "app.exe" || $NF == "readme.txt" { print $4 }' | tr -d '\n')" = 12 ] ||
  fail "init: modes"
echo "kxpack: all checks passed"
