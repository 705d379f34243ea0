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

# pe_format_is FILE x86|x64: the file's object format.
pe_format_is() {
  local want=pei-i386
  [ "$2" = x64 ] && want=pei-x86-64
  x86_64-w64-mingw32-objdump -f "$1" | grep -q "file format $want\$"
}

has_section() {
  x86_64-w64-mingw32-objdump -h "$1" | awk '{print $2}' | grep -qx -- "$2"
}

msi_property() {
  msiinfo export "$1" Property | awk -F'\t' -v name="$2" '$1 == name {print $2}' | tr -d '\r'
}

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
