#!/usr/bin/env bash
# Makes a vendor's release folder: the shipped i686 kx_setup.exe built from this checkout, bound to
# the release's kx.pac by its SHA-256 (signed with Authenticode, SHA-256, when a certificate is
# given, so that the signature covers the binding), the package kx.pac built from the
# vendor's manifest and files and checked as the setup program reads it, the vendor's read-me as
# Readme.txt, and SHA256SUMS of the three. Prints a short summary. Bad input leaves no folder.
#   scripts/release.sh MANIFEST FILES README OUT [--utf8] [--previous OLD.pac]
#                      [--sign CERT.p12 [--timestamp URL]]
# --utf8 as for kxpack build: a UTF-8 manifest without it is refused, and kxpack's message, which
# names the line and suggests --utf8, is shown. --previous: the preview of a version-up from that package. The
# certificate's password comes from KX_SIGN_PASSWORD or from the file that KX_SIGN_PASSWORD_FILE
# names; it reaches the signing tools through pipes only, never as an argument, and is written
# nowhere. --timestamp: an RFC 3161 time-stamp server, which lets the signature outlive the
# certificate.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage="usage: scripts/release.sh MANIFEST FILES README OUT [--utf8] [--previous OLD.pac] [--sign CERT.p12 [--timestamp URL]]"
refuse() {
  echo "release: $*" >&2
  exit 1
}

# The password goes to no child process through the environment either.
password=${KX_SIGN_PASSWORD-}
has_password=${KX_SIGN_PASSWORD+yes}
export -n KX_SIGN_PASSWORD 2>/dev/null || true

[ $# -ge 4 ] || { echo "$usage" >&2; exit 2; }
manifest=$1 files=$2 readme=$3 out=${4%/}
shift 4
utf8=() previous="" certificate="" timestamp=""
while [ $# -gt 0 ]; do
  case "$1" in
    --utf8) utf8=(--utf8) ;;
    --previous) previous=${2:?--previous takes a package} && shift ;;
    --sign) certificate=${2:?--sign takes a PKCS#12 file} && shift ;;
    --timestamp) timestamp=${2:?--timestamp takes a URL} && shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done

[ -f "$manifest" ] || refuse "no manifest $manifest"
[ -d "$files" ] || refuse "no folder of files $files"
[ -f "$readme" ] || refuse "no read-me $readme: the release holds it as Readme.txt"
[ -z "$previous" ] || [ -e "$previous" ] || refuse "no earlier package $previous"
[ -d "$(dirname "$out")" ] || refuse "no folder $(dirname "$out") to make $out in"
if [ -e "$out" ] && { [ ! -d "$out" ] || [ -n "$(ls -A "$out")" ]; }; then
  refuse "$out already holds files: a release goes into a new or empty folder"
fi
if [ -n "$timestamp" ] && [ -z "$certificate" ]; then refuse "--timestamp goes with --sign"; fi

# The password without its line end, for a pipe.
sign_password() {
  local text=$password
  if [ -n "${KX_SIGN_PASSWORD_FILE:-}" ]; then text=$(cat -- "$KX_SIGN_PASSWORD_FILE"); fi
  printf '%s' "${text%$'\r'}"
}

if [ -n "$certificate" ]; then
  [ -f "$certificate" ] || refuse "no certificate $certificate"
  command -v osslsigncode >/dev/null || refuse "osslsigncode is missing: run scripts/setup-machine.sh as root"
  if [ -n "$has_password" ] && [ -n "${KX_SIGN_PASSWORD_FILE:-}" ]; then
    refuse "both KX_SIGN_PASSWORD and KX_SIGN_PASSWORD_FILE are set: set one"
  fi
  if [ -z "$has_password" ] && [ -z "${KX_SIGN_PASSWORD_FILE:-}" ]; then
    refuse "--sign needs the certificate's password in KX_SIGN_PASSWORD or in the file KX_SIGN_PASSWORD_FILE names"
  fi
  if [ -n "${KX_SIGN_PASSWORD_FILE:-}" ] && [ ! -r "$KX_SIGN_PASSWORD_FILE" ]; then
    refuse "cannot read the password file $KX_SIGN_PASSWORD_FILE"
  fi
  # Before the build: a wrong password is found in a second. Files made by older tools may need
  # OpenSSL's legacy ciphers, as osslsigncode loads them.
  opened=""
  for legacy in "" -legacy; do
    if openssl pkcs12 $legacy -in "$certificate" -noout -passin fd:3 3< <(sign_password) 2>/dev/null; then
      opened=yes
      break
    fi
  done
  [ -n "$opened" ] ||
    refuse "the certificate $certificate does not open with the password given (wrong password, or not a PKCS#12 file)"
fi

# Everything is made in a folder beside OUT that takes its name only when all of it is done.
stage=$(mktemp -d "$(dirname "$out")/.$(basename "$out").partial.XXXXXX")
logs=$(mktemp -d)
trap 'rm -rf "$stage" "$logs"' EXIT
failed() {  # what, log
  echo "release: $1" >&2
  sed 's/^/  /' "$2" >&2
  exit 1
}

echo "building kxpack from $root ..." >&2
bash "$root/scripts/build.sh" native:kxpack >"$logs/build" 2>&1 || failed "the build failed:" "$logs/build"
kxpack=$root/build/native/kxpack

"$kxpack" build "$manifest" "$files" "$stage/kx.pac" "${utf8[@]}" >"$logs/pack" 2>&1 ||
  failed "the package does not build:" "$logs/pack"
"$kxpack" verify "$stage/kx.pac" >"$logs/verify" 2>&1 || failed "the package does not verify:" "$logs/verify"
# The program carries the package's SHA-256, under its signature, and installs no other package.
package_digest=$(sha256sum "$stage/kx.pac" | cut -d' ' -f1)
echo "building the i686 kx_setup.exe bound to that kx.pac ..." >&2
{ (cd "$root" && cmake --preset win32 -DKX_PACKAGE_SHA256="$package_digest") && bash "$root/scripts/build.sh" win32:kx_setup_bound; } \
  >"$logs/build" 2>&1 || failed "the build failed:" "$logs/build"
program=$root/build/win32/bound/kx_setup.exe
cp "$readme" "$stage/Readme.txt"
if [ -n "$certificate" ]; then
  options=(-pkcs12 "$certificate" -readpass /dev/stdin -h sha256)
  [ -z "$timestamp" ] || options+=(-ts "$timestamp")
  sign_password | osslsigncode sign "${options[@]}" -in "$program" -out "$stage/kx_setup.exe" >"$logs/sign" 2>&1 ||
    failed "signing failed:" "$logs/sign"
else
  cp "$program" "$stage/kx_setup.exe"
fi
(cd "$stage" && sha256sum kx_setup.exe kx.pac Readme.txt >SHA256SUMS)
if [ -n "$previous" ]; then
  "$kxpack" preview "$stage/kx.pac" --over "$previous" >"$logs/preview" 2>&1 ||
    failed "no preview over $previous:" "$logs/preview"
fi

if [ -d "$out" ]; then rmdir "$out"; fi
mv -T "$stage" "$out"
chmod 755 "$out"

# The summary, from what the folder holds.
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo "no commit")
changes=""
[ -z "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ] ||
  changes=", with uncommitted changes (not reproducible from the commit)"
echo "release $out"
echo "kx_setup.exe  $(stat -c %s "$out/kx_setup.exe") bytes, i686, built from commit $commit$changes"
echo "  bound to    kx.pac, SHA-256 $package_digest: it installs that package and no other"
if [ -n "$certificate" ]; then
  osslsigncode verify -in "$out/kx_setup.exe" >"$logs/signature" 2>&1 || true
  signer=$(grep -m1 -E '^\s+Subject:' "$logs/signature" | sed 's/^\s*Subject: //')
  issuer=$(grep -m1 -E '^\s+Issuer :' "$logs/signature" | sed 's/^\s*Issuer : //')
  digest=$(grep -m1 '^Message digest algorithm' "$logs/signature" | sed 's/.*: *//')
  echo "  signed by   $signer (issued by $issuer)"
  stamped="no time stamp (Windows then trusts the signature only while the certificate is valid)"
  [ -z "$timestamp" ] || stamped="time-stamped by $timestamp"
  echo "  digest      $digest, Authenticode; $stamped"
fi
# kxpack build said "PATH: N members, version V, SIZE bytes".
echo "kx.pac        $(sed -n 's/.*: \([0-9]* members\), \(version [0-9.]*\), \(.*\)$/\2, \1, \3/p' "$logs/pack"), verified"
echo "Readme.txt    $(stat -c %s "$out/Readme.txt") bytes"
echo "SHA256SUMS    of the three"
if [ -n "$previous" ]; then
  echo "preview over $previous: $(tail -n 1 "$logs/preview")"
  grep '^ask-' "$logs/preview" | sed 's/^/  /' || true
fi
