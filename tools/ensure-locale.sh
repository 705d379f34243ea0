#!/usr/bin/env bash
# Makes the named UTF-8 locales available to the C library (Debian's
# locale-gen), through sudo when not run as root.
#
#   tools/ensure-locale.sh de_DE.UTF-8 [...]
set -euo pipefail
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
for name in "$@"; do
  locale -a 2>/dev/null | grep -qix "${name/UTF-8/utf8}" && continue
  "${as_root[@]}" sed -i "s/^# *\(${name} UTF-8\)/\1/" /etc/locale.gen
  grep -q "^${name} UTF-8" /etc/locale.gen || echo "${name} UTF-8" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
  "${as_root[@]}" locale-gen >/dev/null
done
