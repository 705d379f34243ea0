#!/usr/bin/env bash
# Checks the release kit that tools/package.sh left in build/dist (or
# $CORVANE_DIST_DIR): the zips' contents, then the installers under wine64 in
# a fresh prefix of their own (install, use through the kit's VBScript
# sample, remove, side by side in both orders, nothing left behind), then the
# signing path (a throwaway self-signed certificate, the packaging steps only).
# Prints every check; exits non-zero when any failed.
#
#   tests/kit/install_test.sh
set -uo pipefail
if [ -z "${CORVANE_KIT_TEST_UNDER_XVFB:-}" ] && command -v xvfb-run >/dev/null; then
  CORVANE_KIT_TEST_UNDER_XVFB=1 exec xvfb-run -a "$0" "$@"
fi
cd "$(dirname "$0")/../.." || exit 1
root=$PWD
dist=${CORVANE_DIST_DIR:-$root/build/dist}
version=$(tr -d ' \r\n' <VERSION)
work=$dist/kit-test
rm -rf "$work"
mkdir -p "$work"
source "$root/tests/kit/kit_checks.sh"

zip=$dist/Corvane-$version-windows.zip
symbols=$dist/Corvane-$version-windows-symbols.zip
msi_x86=$dist/Corvane-$version-x86.msi
msi_x64=$dist/Corvane-$version-x64.msi

echo "== the kit's files"
for f in "$zip" "$symbols" "$msi_x86" "$msi_x64"; do
  check "$(basename "$f") exists" test -s "$f"
done
kit=$work/kit
mkdir -p "$kit"
unzip -q "$zip" -d "$kit" || fail "the kit unpacks"
check "the kit holds exactly its files" same_lines "$(cd "$kit" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" \
  "$({
    printf '%s\n' CorvaneV10.h CorvaneV10.idl CorvaneV10.tlb README.txt SHA256SUMS \
      x64/Corvane.dll x64/Corvane.sxs.manifest x64/CorvaneV10.tlb \
      x86/Corvane.dll x86/Corvane.sxs.manifest x86/CorvaneV10.tlb
    cd "$root" && find samples -type f
  } | LC_ALL=C sort)"
check "samples/ is the repository's folder" diff -r "$root/samples" "$kit/samples"
check "SHA256SUMS matches every other file" sums_cover_kit "$kit"
check "README.txt ends every line with CRLF" crlf_only "$kit/README.txt"
check "the top-level type library is the 32-bit one" cmp "$kit/CorvaneV10.tlb" "$kit/x86/CorvaneV10.tlb"
mkdir -p "$work/symbols"
unzip -q "$symbols" -d "$work/symbols" || fail "the symbols unpack"
for arch in x86 x64; do
  check "$arch/Corvane.dll is a $arch DLL" pe_format_is "$kit/$arch/Corvane.dll" "$arch"
  check "$arch/Corvane.dll has no debug information" not has_section "$kit/$arch/Corvane.dll" .debug_info
  check "$arch/Corvane.dll names its debug file" has_section "$kit/$arch/Corvane.dll" .gnu_debuglink
  check "$arch/Corvane.dll.debug holds the debug information" \
    has_section "$work/symbols/$arch/Corvane.dll.debug" .debug_info
done

echo "== the installers"
for arch in x86 x64; do
  msi=$dist/Corvane-$version-$arch.msi
  check "$arch installer's ProductVersion is $version" same_lines "$(msi_property "$msi" ProductVersion)" "$version"
  mkdir -p "$work/msi-$arch"
  msiextract -C "$work/msi-$arch" "$msi" >/dev/null || fail "$arch installer's files extract"
  for f in Corvane.dll Corvane.sxs.manifest CorvaneV10.tlb; do
    check "$arch installer's $f is the kit's" cmp "$(find "$work/msi-$arch" -name "$f" | head -n 1)" "$kit/$arch/$f"
  done
done

echo "== installing under wine64"
# What the DLL's own registration writes in the 64-bit view, from the same
# folder, in a prefix of its own: the installer must write the same, but for
# HELPDIR (the folder there, empty from the installers, which share it).
start_prefix "$work/self-registration"
self_registration=$(self_registered_view)
stop_prefix
check "regsvr32 registers the x64 DLL" test -n "$self_registration"
library_description=$(sed -n 's/^TypeLib\\[^\\]*\\4\.1|(Default)|//p' <<<"$self_registration")

start_prefix "$work/wineprefix"
sample=$(winpath "$kit/samples/vbscript/CorvaneSample.vbs")
msiexec_check "x64 installs" /i "$msi_x64"
check "x64 keys are what regsvr32 writes" same_lines "$(registry_view 64 | grep -v '\\HELPDIR|')" \
  "$(grep -v '\\HELPDIR|' <<<"$self_registration")"
check "x64 files are in Program Files" installed_files x64
check "x64 keys are whole" keys_whole 64
check "the x64 object works" sample_done "$sample"
msiexec_check "x64 removes" /x "$msi_x64"
check "nothing is left after x64" nothing_left

msiexec_check "x64 installs beside nothing" /i "$msi_x64"
msiexec_check "x86 installs beside x64" /i "$msi_x86"
check "x86 files are in Program Files (x86)" installed_files x86
check "x64 keys are whole beside x86" keys_whole 64
check "x86 keys are whole beside x64" keys_whole 32
msiexec_check "x86 removes, x64 stays" /x "$msi_x86"
check "x86 files are gone" no_files x86
check "x64 keys are whole after x86 went" keys_whole 64
check "the x64 object works after x86 went" sample_done "$sample"

# The x86 object cannot be created here: wine64 runs no 32-bit program on
# this machine kind, so the 32-bit side is checked through its keys only.
msiexec_check "x86 installs again beside x64" /i "$msi_x86"
msiexec_check "x64 removes, x86 stays" /x "$msi_x64"
check "x64 files are gone" no_files x64
check "x86 files stay" installed_files x86
check "x86 keys are whole after x64 went" keys_whole 32
msiexec_check "x86 removes" /x "$msi_x86"
check "nothing is left after both" nothing_left

# A later release replaces the installed one; an earlier one is refused.
IFS=. read -r major minor patch <<<"$version"
later=$major.$minor.$((patch + 1))
newer_msi "$msi_x64" "$work/later-x64.msi" "$later" || fail "a later x64 installer is made"
msiexec_check "x64 installs" /i "$msi_x64"
msiexec_check "a later x64 installs over it" /i "$work/later-x64.msi"
check "only the later x64 is installed" same_lines "$(products_installed "Corvane (64-bit)")" "$later"
check "x64 keys are whole after the upgrade" keys_whole 64
check "the x64 object works after the upgrade" sample_done "$sample"
check "the earlier x64 is refused over the later" not "$wine" msiexec /i "$(winpath "$msi_x64")" /qn
check "still only the later x64 is installed" same_lines "$(products_installed "Corvane (64-bit)")" "$later"
msiexec_check "the later x64 removes" /x "$work/later-x64.msi"
check "nothing is left after the upgrade" nothing_left
stop_prefix

echo "== signing"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Corvane kit test" \
  -keyout "$work/sign.key" -out "$work/sign.crt" 2>/dev/null || fail "a test certificate is made"
signed=$work/signed
if CORVANE_PACKAGE_ONLY=1 CORVANE_DIST_DIR="$signed" CORVANE_SIGN_CERT="$work/sign.crt" \
  CORVANE_SIGN_KEY="$work/sign.key" tools/package.sh >"$work/signed.log" 2>&1; then
  pass "package.sh signs with a certificate"
else
  cat "$work/signed.log"
  fail "package.sh signs with a certificate"
fi
mkdir -p "$signed/kit"
unzip -q "$signed/Corvane-$version-windows.zip" -d "$signed/kit"
for arch in x86 x64; do
  mkdir -p "$signed/msi-$arch"
  msiextract -C "$signed/msi-$arch" "$signed/Corvane-$version-$arch.msi" >/dev/null
  check "signed: the kit's $arch DLL carries a signature" signed_by "$signed/kit/$arch/Corvane.dll" "$work/sign.crt"
  check "signed: the $arch installer's DLL carries a signature" \
    signed_by "$(find "$signed/msi-$arch" -name Corvane.dll | head -n 1)" "$work/sign.crt"
  check "signed: the $arch installer carries a signature" signed_by "$signed/Corvane-$version-$arch.msi" "$work/sign.crt"
  check "unsigned: the kit's $arch DLL carries none" not has_signature "$kit/$arch/Corvane.dll"
  check "unsigned: the $arch installer carries none" not has_signature "$dist/Corvane-$version-$arch.msi"
done
if CORVANE_PACKAGE_ONLY=1 CORVANE_DIST_DIR="$work/half" CORVANE_SIGN_CERT="$work/sign.crt" \
  tools/package.sh >/dev/null 2>&1; then
  fail "package.sh refuses a certificate without its key"
else
  pass "package.sh refuses a certificate without its key"
fi

rm -rf "$work"
finish
