#!/usr/bin/env bash
# The vendor's release command end to end: a throwaway CA and code-signing certificate made with
# openssl, a signed release checked as its users would check it, bad input refused without a
# folder left, and the signed program driven through a first installation under Wine.
#   release_test.sh E2E-TEST-PROGRAM     (in the project's Wine environment, as ctest runs it)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
e2e=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway Test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout vendor.key -out vendor.csr -subj "/CN=Throwaway Vendor" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >vendor.ext
openssl x509 -req -in vendor.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile vendor.ext \
  -out vendor.pem 2>/dev/null
password='correct horse 7'
printf '%s\n' "$password" >password.txt
openssl pkcs12 -export -inkey vendor.key -in vendor.pem -certfile ca.pem -passout file:password.txt -out vendor.p12

# The earlier release dated the help file later: the version-up asks about it.
mkdir -p files/help && printf 'MZ app' >files/app.exe && printf 'help' >files/help/app.chm
printf 'read me\r\n' >readme.txt
printf 'version\t2.0.0.0\nfolder\t.\t.\t2\nfile\thelp\tapp.chm\t2\t0\t0\t2024-01-01T00:00:00Z\n' >manifest.txt
printf 'version\t1.0.0.0\nfolder\t.\t.\t2\nfile\thelp\tapp.chm\t2\t0\t0\t2025-01-01T00:00:00Z\n' >old.txt
"$root/build/native/kxpack" build old.txt files old.pac >/dev/null

# The signing tools note their command lines and environments: the password is in neither.
mkdir spy
for tool in openssl osslsigncode; do
  printf '#!/bin/sh\n{ echo "$0 $*"; tr "\\0" "\\n" </proc/$$/environ; } >>"%s/spy.log"\nexec %s "$@"\n' \
    "$work" "$(command -v "$tool")" >"spy/$tool"
  chmod +x "spy/$tool"
done
PATH=$work/spy:$PATH KX_SIGN_PASSWORD=$password bash "$root/scripts/release.sh" manifest.txt files readme.txt out \
  --previous old.pac --sign vendor.p12 >summary.txt 2>errors.txt || fail "release: $(cat errors.txt)"
grep -q 'osslsigncode sign' spy.log || fail "the spy saw no signing"
! grep -rqF "$password" summary.txt errors.txt spy.log out || fail "the password shows in the output, a file or a command"

for line in 'kx.pac        version 2.0.0.0, 2 members, ' 'signed by   /CN=Throwaway Vendor (issued by /CN=Throwaway Test CA)' \
  'digest      SHA256, Authenticode' 'preview over old.pac: 1 question' \
  $'  ask-date\thelp\\app.chm\ttime 2024-01-01T00:00:00.0000000Z, installed 2025-01-01T00:00:00.0000000Z'; do
  grep -qF "$line" summary.txt || fail "summary lacks \"$line\": $(cat summary.txt)"
done
[ "$(ls out | tr '\n' ' ')" = "Readme.txt SHA256SUMS kx.pac kx_setup.exe " ] || fail "release folder: $(ls out)"
(cd out && sha256sum --quiet -c SHA256SUMS) || fail "the sums do not match"
cmp -s readme.txt out/Readme.txt || fail "Readme.txt is not the vendor's read-me"
"$root/build/native/kxpack" verify out/kx.pac >/dev/null || fail "kx.pac does not verify"
osslsigncode verify -CAfile ca.pem -in out/kx_setup.exe >verify.txt 2>&1 || fail "signature: $(cat verify.txt)"
# What was signed is the program built here, byte for byte, bound to the release's package.
osslsigncode remove-signature -in out/kx_setup.exe -out unsigned.exe >/dev/null
cmp -s unsigned.exe "$root/build/win32/bound/kx_setup.exe" || fail "the signed program is not the one built"
package_digest=$(sha256sum out/kx.pac | cut -d' ' -f1)
grep -qF "bound to    kx.pac, SHA-256 $package_digest" summary.txt || fail "summary: no binding: $(cat summary.txt)"
grep -qaF "$package_digest" unsigned.exe || fail "the program does not carry its package's digest"

# Bad input: a clear message, a non-zero status, and no folder, whole or half made.
expect_refusal() {  # what, OUT, release arguments after OUT...
  local what=$1 folder=$2
  shift 2
  if bash "$root/scripts/release.sh" "${@:1:3}" "$folder" "${@:4}" >/dev/null 2>err.txt; then fail "$what: accepted"; fi
  grep -q '^release: ' err.txt || fail "$what: no message: $(cat err.txt)"
  [ ! -e "$folder" ] || [ "$folder" = out ] || fail "$what: $folder was made"
  ! ls -A | grep -q 'partial' || fail "$what: a half-made folder is left"
}
printf 'wrong\n' >wrong.txt
KX_SIGN_PASSWORD_FILE=wrong.txt expect_refusal "wrong password" bad manifest.txt files readme.txt --sign vendor.p12
grep -q 'does not open with the password given' err.txt || fail "wrong password: $(cat err.txt)"
expect_refusal "missing read-me" bad manifest.txt files missing.txt
printf 'version\t2.0.0.0\nfile\t.\tmissing.exe\n' >broken.txt
expect_refusal "manifest that does not build" bad broken.txt files readme.txt
expect_refusal "release folder with files" out manifest.txt files readme.txt
(cd out && sha256sum --quiet -c SHA256SUMS) || fail "a refused release changed the folder that was there"
expect_refusal "time stamp without a signature" bad manifest.txt files readme.txt --timestamp http://localhost/

# The signed program installs its own package, and refuses another or a changed one before
# writing anything.
signed="Z:${work//\//\\}\\out\\kx_setup.exe"
KX_SETUP_UNDER_TEST=$signed KX_PACKAGE_UNDER_TEST="Z:${work//\//\\}\\out\\kx.pac" /usr/lib/wine/wine64 "$e2e" \
  --gtest_filter=WizardEndToEndTest.ABoundProgramInstallsOnlyItsOwnPackage >install.txt 2>&1 ||
  fail "the signed program and its package: $(cat install.txt)"
grep -qF "kx_setup.exe under test: $signed (i686, 32-bit)" install.txt || fail "the signed program was not the one driven"
grep -q '^\[  PASSED  \] 1 test' install.txt || fail "the bound program's test did not run: $(cat install.txt)"
# A program built without a package's digest installs any package, here one that is not the release's.
KX_SETUP_UNDER_TEST="Z:${root//\//\\}\\build\\win32\\kx_setup.exe" /usr/lib/wine/wine64 "$e2e" \
  --gtest_filter=WizardEndToEndTest.AFirstInstallationRunsToTheEnd >unbound.txt 2>&1 ||
  fail "the unbound program's first installation: $(cat unbound.txt)"
echo "release: all checks passed"
