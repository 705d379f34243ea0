#!/usr/bin/env bash
# Installs the Debian packages named on the command line that are missing,
# through sudo when not run as root.
set -euo pipefail
missing=()
for pkg in "$@"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
# Packages of another architecture (wine32:i386) need it enabled first.
for pkg in "${missing[@]}"; do
  case "$pkg" in
    *:*) arch="${pkg##*:}"
         dpkg --print-foreign-architectures | grep -qx "$arch" || "${as_root[@]}" dpkg --add-architecture "$arch" ;;
  esac
done
# A mirror that is out of step for one list must not stop the install.
"${as_root[@]}" apt-get update -qq || echo "apt-get update reported errors; installing with the lists it has"
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
