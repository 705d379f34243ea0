# shellcheck shell=bash disable=SC2154
# The checks of tests/kit/install_test.sh (sourced): the reporting, what a
# kit file must look like, and the wine prefix with what an installation
# leaves in its registry views and folders. The caller sets $work (a scratch
# folder), $kit (the unpacked kit) and $library_description (the type
# library's description as its own registration writes it).

failures=0
checks=0

pass() {
  checks=$((checks + 1))
  echo "ok      $1"
}

fail() {
  checks=$((checks + 1))
  failures=$((failures + 1))
  echo "FAILED  $1"
}

# check NAME COMMAND...: one check; the command's output shows on failure only.
check() {
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then
    pass "$name"
  else
    fail "$name"
    [ -n "$out" ] && sed 's/^/        /' <<<"$out"
  fi
}

not() { ! "$@"; }

finish() {
  echo "kit: $((checks - failures)) of $checks checks passed"
  [ "$failures" -eq 0 ]
}

# same_lines ACTUAL EXPECTED: equal texts, the difference shown otherwise.
same_lines() {
  diff <(printf '%s\n' "$1") <(printf '%s\n' "$2")
}

# sums_cover_kit FOLDER: SHA256SUMS names every other file once, and every
# sum is right.
sums_cover_kit() {
  (cd "$1" && same_lines "$(cut -c67- SHA256SUMS | LC_ALL=C sort)" \
    "$(find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)" &&
    sha256sum --quiet -c SHA256SUMS)
}

crlf_only() {
  [ -s "$1" ] && ! grep -q $'[^\r]$\|^$' "$1"
}

smaller_than() {
  local size
  size=$(stat -c %s "$1")
  [ "$size" -lt "$2" ] || { echo "$1: $size bytes"; return 1; }
}

# pe_machine_is FILE x86|x64: the machine field of the PE header.
pe_machine_is() {
  local offset machine
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  [ "$(od -An -c -j"$offset" -N4 "$1" | tr -d ' ')" = 'PE\0\0' ] || { echo "$1: no PE header"; return 1; }
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$1" | tr -d ' ')
  case "$2:$machine" in
    x86:014c | x64:8664) return 0 ;;
    *) echo "$1: machine $machine"; return 1 ;;
  esac
}

has_section() {
  x86_64-w64-mingw32-objdump -h "$1" | awk '{print $2}' | grep -qx -- "$2"
}

# debuglink_is DLL DEBUG_FILE: the DLL's .gnu_debuglink names DEBUG_FILE and
# carries its CRC-32, as debuggers check it.
debuglink_is() {
  local link
  link=$(mktemp)
  x86_64-w64-mingw32-objcopy --dump-section .gnu_debuglink="$link" "$1" "$link.pe" || return 1
  rm -f "$link.pe"
  python3 - "$link" "$2" <<'EOF'
import sys, zlib
link = open(sys.argv[1], "rb").read()
name = link[:link.index(b"\0")].decode()
crc = int.from_bytes(link[-4:], "little")
debug = sys.argv[2]
want_crc = zlib.crc32(open(debug, "rb").read())
if name != debug.rsplit("/", 1)[-1] or crc != want_crc:
    sys.exit(f"debuglink {name} crc {crc:08x}, want {debug} crc {want_crc:08x}")
EOF
  local rc=$?
  rm -f "$link"
  return $rc
}

# version_resource_has DLL N.N.N: the fixed file and product versions are
# N.N.N.x and the FileVersion text starts with N.N.N.
version_resource_has() {
  python3 - "$1" "$2" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
major, minor, patch = (int(p) for p in sys.argv[2].split("."))
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit("no fixed file information")
file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", data, at + 8)
want_ms = major << 16 | minor
for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
    if ms != want_ms or ls >> 16 != patch:
        sys.exit(f"{what} version {ms >> 16}.{ms & 0xffff}.{ls >> 16}.{ls & 0xffff}")
text = "FileVersion\0".encode("utf-16-le")
at = data.find(text)
if at < 0:
    sys.exit("no FileVersion text")
value = data[at + len(text):at + len(text) + 64].decode("utf-16-le", "replace").lstrip("\0")
if not value.startswith(sys.argv[2]):
    sys.exit(f"FileVersion {value.split(chr(0))[0]!r}")
EOF
}

msi_property() {
  msiinfo export "$1" Property | awk -F'\t' -v name="$2" '$1 == name {print $2}' | tr -d '\r'
}

msi_platform_is() {
  local template
  template=$(msiinfo suminfo "$1" | sed -n 's/^Template: \([^;]*\);.*/\1/p')
  case "$2:$template" in
    x86:Intel | x64:x64) return 0 ;;
    *) echo "template $template"; return 1 ;;
  esac
}

# shared_components MSI: the components both installers carry (same GUID in
# both) with their attributes and registry rows.
shared_components() {
  local guids
  msiinfo export "$1" Component | tr -d '\r' | awk -F'\t' 'NR > 3 {print $1 "\t" $2 "\t" $4 "\t" $6}' |
    LC_ALL=C sort >"$work/components.$$"
  guids=$(grep -F -f <(printf '%s\n' "${shared_guids[@]}") "$work/components.$$")
  printf '%s\n' "$guids"
  msiinfo export "$1" Registry | tr -d '\r' |
    awk -F'\t' -v ids="$(cut -f1 <<<"$guids" | tr '\n' ' ')" \
      'BEGIN {n = split(ids, a, " "); for (i = 1; i <= n; i++) keep[a[i]] = 1} keep[$6] {print}' |
    LC_ALL=C sort
  rm -f "$work/components.$$"
}
# The GUIDs of the components the two installers share.
shared_guids=("{3E32E2CC-46C5-463B-8B36-FD66660EBA82}" "{049618A4-AB66-4AB6-B4E8-05ACB5C5D372}"
  "{B212A7AE-C8AC-4380-9A13-E478E3A93BE7}")

# newer_msi MSI OUT VERSION: a copy of the installer that stands for a later
# release: VERSION as ProductVersion, a product and package code of its own,
# and its upgrade rows moved to VERSION, as a rebuild from a raised VERSION
# file makes them.
newer_msi() {
  local old product package
  old=$(msi_property "$1" ProductVersion)
  product=$(python3 -c 'import uuid; print("{%s}" % str(uuid.uuid4()).upper())')
  package=$(python3 -c 'import uuid; print("{%s}" % str(uuid.uuid4()).upper())')
  cp "$1" "$2" &&
    msibuild "$2" -q "UPDATE \`Property\` SET \`Value\` = '$3' WHERE \`Property\` = 'ProductVersion'" &&
    msibuild "$2" -q "UPDATE \`Property\` SET \`Value\` = '$product' WHERE \`Property\` = 'ProductCode'" &&
    msiinfo export "$1" Upgrade | sed "s/\t$old\t/\t$3\t/" >"$work/Upgrade.idt" &&
    msibuild "$2" -q 'DROP TABLE `Upgrade`' -i "$work/Upgrade.idt" &&
    msibuild "$2" -s "Installation Database" Corvane "$(msiinfo suminfo "$1" | sed -n 's/^Template: //p')" "$package"
}

# products_installed NAME: the versions of the products called NAME that the
# system lists as installed (its Uninstall keys).
products_installed() {
  settle
  awk -v name="\"DisplayName\"=\"$1\"" '
    function report() { if (named && version != "") print version }
    /^\[/ { report(); listed = /\\\\Uninstall\\\\/; named = 0; version = ""; next }
    listed && $0 == name { named = 1 }
    listed && /^"DisplayVersion"=/ { version = substr($0, 19, length($0) - 19) }
    END { report() }' "$WINEPREFIX/system.reg"
}

# signed_by FILE CERT: FILE carries a valid signature by CERT.
signed_by() {
  osslsigncode verify -in "$1" -CAfile "$2"
}

has_signature() {
  osslsigncode extract-signature -in "$1" -out "$work/signature.$$" >/dev/null 2>&1
  local rc=$?
  rm -f "$work/signature.$$"
  return $rc
}

# --- wine ---------------------------------------------------------------

wine=/usr/lib/wine/wine64

start_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=winedbg.exe=d LC_ALL=C.UTF-8
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  settle
}

# Waits until every program of the prefix ended and the registry is saved.
settle() {
  /usr/lib/wine/wineserver -w
}

stop_prefix() {
  /usr/lib/wine/wineserver -k
  rm -rf "$WINEPREFIX"
}

winpath() {
  printf 'Z:%s' "${1//\//\\}"
}

# msiexec_check NAME /i|/x MSI: a silent installation or removal succeeds.
msiexec_check() {
  local rc=0
  timeout 300 "$wine" msiexec "$2" "$(winpath "$3")" /qn >/dev/null 2>&1 || rc=$?
  [ "$rc" -eq 124 ] && /usr/lib/wine/wineserver -k
  settle
  if [ "$rc" -eq 0 ]; then pass "$1"; else fail "$1 (msiexec exit $rc)"; fi
}

program_files() {
  case $1 in
    x86) echo "$WINEPREFIX/drive_c/Program Files (x86)/Corvane" ;;
    x64) echo "$WINEPREFIX/drive_c/Program Files/Corvane" ;;
  esac
}

installed_files() {
  local dir f
  dir=$(program_files "$1")
  for f in Corvane.dll Corvane.sxs.manifest CorvaneV10.tlb; do
    cmp "$dir/$f" "$kit/$1/$f" || return 1
  done
}

no_files() {
  local dir
  dir=$(program_files "$1")
  [ ! -e "$dir" ] || { find "$dir"; return 1; }
}

clsid="{4C80A6D8-AE04-4B5F-A6BD-281875877CCF}"
libid="{489EA435-6CD9-4820-986B-7CBA9CC7E606}"
iid="{6E971FC3-B191-4FA0-A578-72A13975EBB7}"
earlier_iid="{6EC7F1C7-4D11-4436-91C7-AE494CBA446B}"
progid=CorvaneV10.clsStringList
proxy="{00020424-0000-0000-C000-000000000046}"

# registry_view 32|64: our keys in that view of HKLM\Software\Classes, one
# "key|value name|data" line per value, the key relative to Classes.
registry_view() {
  local key
  for key in "CLSID\\$clsid" "$progid" "TypeLib\\$libid" "Interface\\$iid" "Interface\\$earlier_iid"; do
    "$wine" reg query "HKLM\\Software\\Classes\\$key" /s /reg:"$1" 2>/dev/null
  done | tr -d '\r' | awk '
    /^HKEY_LOCAL_MACHINE\\Software\\Classes\\/ {key = substr($0, 37); next}
    /^    / {split(substr($0, 5), f, /    /); print key "|" f[1] "|" f[3]}'
}

# keys_whole 32|64: every value the installer of that view writes is there
# with its data.
keys_whole() {
  local dir platform expected missing
  if [ "$1" = 64 ]; then
    dir='C:\Program Files\Corvane' platform=win64
  else
    dir='C:\Program Files (x86)\Corvane' platform=win32
  fi
  expected="CLSID\\$clsid|(Default)|$progid
CLSID\\$clsid\\InprocServer32|(Default)|$dir\\Corvane.dll
CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment
CLSID\\$clsid\\ProgID|(Default)|$progid
CLSID\\$clsid\\TypeLib|(Default)|$libid
CLSID\\$clsid\\VERSION|(Default)|4.1
$progid|(Default)|$progid
$progid\\CLSID|(Default)|$clsid
$progid\\CurVer|(Default)|$progid
TypeLib\\$libid\\4.1|(Default)|$library_description
TypeLib\\$libid\\4.1\\0\\$platform|(Default)|$dir\\Corvane.dll
TypeLib\\$libid\\4.1\\FLAGS|(Default)|8
TypeLib\\$libid\\4.1\\HELPDIR|(Default)|
Interface\\$iid|(Default)|_clsStringList
Interface\\$iid\\ProxyStubClsid|(Default)|$proxy
Interface\\$iid\\ProxyStubClsid32|(Default)|$proxy
Interface\\$iid\\TypeLib|(Default)|$libid
Interface\\$iid\\TypeLib|Version|4.1
Interface\\$earlier_iid|(Default)|clsStringList___v0
Interface\\$earlier_iid\\ProxyStubClsid|(Default)|$proxy
Interface\\$earlier_iid\\ProxyStubClsid32|(Default)|$proxy
Interface\\$earlier_iid\\TypeLib|(Default)|$libid
Interface\\$earlier_iid\\TypeLib|Version|4.1
Interface\\$earlier_iid\\Forward|(Default)|$iid"
  missing=$(grep -vxF -f <(registry_view "$1") <<<"$expected")
  [ -z "$missing" ] || { echo "missing or different in the $1-bit view:"; echo "$missing"; return 1; }
}

# self_registered_view: the 64-bit view's keys after regsvr32 registered the
# kit's x64 DLL from the folder the installer uses.
self_registered_view() {
  local dir
  dir=$(program_files x64)
  mkdir -p "$dir"
  cp "$kit/x64/Corvane.dll" "$dir/"
  "$wine" regsvr32 /s 'C:\Program Files\Corvane\Corvane.dll' >/dev/null 2>&1 || return 1
  settle
  registry_view 64
}

# nothing_left: no key or value of the whole registry (every view, machine
# and user) names our class, library, interfaces or programmatic identifier,
# no product of ours is listed as installed, and neither Program Files folder
# holds ours.
nothing_left() {
  local found
  settle
  found=$(grep -i -F -e "$clsid" -e "$libid" -e "$iid" -e "$earlier_iid" -e "$progid" \
    -e '"DisplayName"="Corvane' "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg")
  [ -z "$found" ] || { echo "$found"; return 1; }
  no_files x86 && no_files x64
}

# sample_done WINDOWS_PATH: the VBScript sample ends with its success line
# and exit code 0 (wine's cscript reports a script error with no output and
# exit code 0, so the line is what tells). A message box of the component
# waits for a click that never comes: the time limit ends it, and its text,
# traced by wine, is shown.
sample_done() {
  local out rc=0 boxes=$work/message-boxes.$$
  out=$(WINEDEBUG=-all,trace+msgbox timeout 30 "$wine" cscript //nologo "$1" 2>"$boxes") || rc=$?
  [ "$rc" -eq 124 ] && /usr/lib/wine/wineserver -k
  out=$(tr -d '\r' <<<"$out")
  if [ "$rc" -ne 0 ] || [ "$(tail -n 1 <<<"$out")" != "Corvane sample: done" ]; then
    echo "exit code $rc, output:"
    echo "$out"
    grep -h 'MSGBOX_OnInit' "$boxes" | sed 's/.*MSGBOX_OnInit /message box: /'
    rm -f "$boxes"
    return 1
  fi
  rm -f "$boxes"
}
