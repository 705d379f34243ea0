#!/usr/bin/env bash
# Builds the Windows release kit into build/dist/ (or $CORVANE_DIST_DIR):
#
#   Corvane-<version>-windows.zip          x86/ and x64/ (stripped Corvane.dll,
#                                          Corvane.sxs.manifest, CorvaneV10.tlb),
#                                          the 32-bit CorvaneV10.tlb, the IDL, the
#                                          C++ header, samples/, README.txt, SHA256SUMS
#   Corvane-<version>-windows-symbols.zip  x86/ and x64/ Corvane.dll.debug
#   Corvane-<version>-x86.msi              per-machine installers, one per processor
#   Corvane-<version>-x64.msi
#
# The version comes from the file VERSION. It builds the win32 and win64
# presets' Corvane target first (quick when they are up to date);
# CORVANE_PACKAGE_ONLY=1 skips the builds and packs what is there;
# CORVANE_BUILD_JOBS sets the builds' parallel jobs (2 by default).
# With CORVANE_SIGN_CERT and CORVANE_SIGN_KEY (PEM files, CORVANE_SIGN_PASS
# for an encrypted key) both DLLs are signed before they are packed, and so
# are both installers; no time stamp is asked for (no network).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

tools/ensure-packages.sh cmake ninja-build googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 wine64-tools libwine-dev \
  wixl msitools zip unzip osslsigncode openssl

version=$(tr -d ' \r\n' <VERSION)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "VERSION holds '$version', not N.N.N" >&2; exit 1; }
dist=${CORVANE_DIST_DIR:-$root/build/dist}
# A stripped DLL above this size has taken in something it should not have.
max_dll_bytes=$((3 * 1024 * 1024 / 2))

sign=0
if [ -n "${CORVANE_SIGN_CERT:-}${CORVANE_SIGN_KEY:-}" ]; then
  if [ ! -f "${CORVANE_SIGN_CERT:-}" ] || [ ! -f "${CORVANE_SIGN_KEY:-}" ]; then
    echo "signing needs both CORVANE_SIGN_CERT and CORVANE_SIGN_KEY to name PEM files" >&2
    exit 1
  fi
  sign=1
fi

# sign FILE: signs FILE in place (a PE file or an installer database).
sign() {
  local args=(sign -certs "$CORVANE_SIGN_CERT" -key "$CORVANE_SIGN_KEY" -h sha256 -n Corvane)
  [ -n "${CORVANE_SIGN_PASS:-}" ] && args+=(-pass "$CORVANE_SIGN_PASS")
  rm -f "$1.signed"
  osslsigncode "${args[@]}" -in "$1" -out "$1.signed" >/dev/null
  mv "$1.signed" "$1"
}

if [ "${CORVANE_PACKAGE_ONLY:-0}" != 1 ]; then
  for preset in win32 win64; do
    # Configure with the warnings setting the tree was built with, so that
    # a build made by the test command is not redone for a changed flag.
    werror=${CORVANE_WERROR-$(sed -n 's/^CORVANE_WERROR:[A-Z]*=//p' "build/$preset/CMakeCache.txt" 2>/dev/null || true)}
    CORVANE_WERROR=$werror cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target Corvane --parallel "${CORVANE_BUILD_JOBS:-2}"
  done
fi

stage=$dist/stage
rm -rf "$stage"
rm -f "$dist"/Corvane-*-windows.zip "$dist"/Corvane-*-windows-symbols.zip "$dist"/Corvane-*.msi
mkdir -p "$stage/kit" "$stage/symbols"

# processor PRESET -> the kit's folder and the binutils prefix.
for pair in win32:x86:i686 win64:x64:x86_64; do
  IFS=: read -r preset arch tool <<<"$pair"
  build=$root/build/$preset
  kit=$stage/kit/$arch
  mkdir -p "$kit" "$stage/symbols/$arch"
  for f in "$build/bin/Corvane.dll" "$build/bin/Corvane.sxs.manifest" \
    "$build/string_list/com/CorvaneV10.tlb"; do
    [ -f "$f" ] || { echo "missing $f: build the $preset preset first" >&2; exit 1; }
  done
  # The debug information goes to its own file; the DLL keeps only a link
  # to it (its name and checksum), so debuggers find it when it lies beside.
  debug=$stage/symbols/$arch/Corvane.dll.debug
  "$tool-w64-mingw32-objcopy" --only-keep-debug "$build/bin/Corvane.dll" "$debug"
  "$tool-w64-mingw32-strip" --strip-debug --strip-unneeded -o "$kit/Corvane.dll" "$build/bin/Corvane.dll"
  (cd "$stage/symbols/$arch" && "$tool-w64-mingw32-objcopy" --add-gnu-debuglink=Corvane.dll.debug "$kit/Corvane.dll")
  size=$(stat -c %s "$kit/Corvane.dll")
  if [ "$size" -ge "$max_dll_bytes" ]; then
    echo "$arch/Corvane.dll is $size bytes after stripping, over the limit of $max_dll_bytes" >&2
    exit 1
  fi
  if [ "$sign" = 1 ]; then sign "$kit/Corvane.dll"; fi
  cp "$build/bin/Corvane.sxs.manifest" "$build/string_list/com/CorvaneV10.tlb" "$kit/"
done

# The zip's top level.
header=$root/build/win32/string_list/com/public/CorvaneV10.h
[ -f "$header" ] || { echo "missing $header: build the win32 preset first" >&2; exit 1; }
[ -d samples ] || { echo "missing samples/" >&2; exit 1; }
cp "$stage/kit/x86/CorvaneV10.tlb" string_list/com/CorvaneV10.idl "$header" "$stage/kit/"
cp -r samples "$stage/kit/"
sed 's/\r*$/\r/' installer/README.txt >"$stage/kit/README.txt"
(cd "$stage/kit" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum >"$stage/sums" &&
  mv "$stage/sums" SHA256SUMS)

zip_name=$dist/Corvane-$version-windows.zip
(cd "$stage/kit" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | zip -q -X "$zip_name" -@)
(cd "$stage/symbols" && zip -q -X -r "$dist/Corvane-$version-windows-symbols.zip" x86 x64)

# The type library's description, as its registration writes it: the
# library's help string, else its name.
library_description=$(awk '/^\[/ {block = ""} {block = block $0 "\n"} /^library / {printf "%s", block; exit}' \
  string_list/com/CorvaneV10.idl | sed -n 's/.*helpstring("\([^"]*\)").*/\1/p' | head -n 1)
: "${library_description:=CorvaneV10}"

# The installers, built from the kit's processor folder (wixl takes the
# files' sources relative to the folder it runs in).
for arch in x86 x64; do
  msi=$dist/Corvane-$version-$arch.msi
  (cd "$stage/kit/$arch" && wixl -a "$arch" -D Platform="$arch" -D Version="$version" -D SourceDir=. \
    -D LibraryDescription="$library_description" -I "$root/installer" -o "$msi" "$root/installer/Corvane.wxs")
  # wixl writes no component conditions: the 64-bit view's own copy of the
  # programmatic identifier is installed only under wine (see Corvane.wxs).
  if [ "$arch" = x64 ]; then
    msibuild "$msi" -q "UPDATE \`Component\` SET \`Condition\` = 'WINE_HOST' \
WHERE \`Component\` = 'ProgrammaticIdentifier64'"
  fi
  if [ "$sign" = 1 ]; then sign "$msi"; fi
done
rm -rf "$stage"
echo "kit $version in $dist:"
(cd "$dist" && ls -l Corvane-"$version"-*)
