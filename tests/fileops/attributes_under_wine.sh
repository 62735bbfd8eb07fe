#!/usr/bin/env bash
# The Windows program under Wine and the POSIX layer (platform_test) must read
# and write the same attribute word on the same files: read-only = no write
# permission bit; hidden/system = user.DOSATTRIB "0x%x"; archive on every file.
set -u
probe=$1
run() { "$(dirname "$0")/../../cmake/wine-run" "$probe" "$@" 2>/dev/null | tr -d '\r'; }
dosattrib() { getfattr --only-values -n user.DOSATTRIB "$f" 2>/dev/null; echo "[$?]"; }
fails=0
check() {  # description, got, want
  if [ "$2" != "$3" ]; then echo "FAIL: $1: got '$2', want '$3'"; fails=$((fails + 1)); else echo "ok: $1"; fi
}
d=$(mktemp -d)
trap 'chmod -R u+w "$d"; rm -rf "$d"' EXIT
f=$d/file.txt
: >"$f"
check "plain file" "$(run get "$f")" 0x20
chmod a-w "$f"
check "no write bits reads as read-only" "$(run get "$f")" 0x21
chmod u+w "$f"
if setfattr -n user.DOSATTRIB -v '"0x6"' "$f" 2>/dev/null; then
  check "DOSATTRIB 0x6 reads as hidden and system" "$(run get "$f")" 0x26
  run set "$f" 0x22
  check "hidden is written as 0x2" "$(dosattrib)" "0x2[0]"
  run set "$f" 0x20
  check "no hidden/system removes the attribute" "$(dosattrib)" "[1]"
else
  echo "skip: no extended attributes on this file system"
fi
run set "$f" 0x21
check "read-only clears every write bit" "$(stat -c %A "$f")" "-r--r--r--"
run set "$f" 0x20
check "clearing read-only gives the owner write" "$(stat -c %A "$f" | cut -c3)" "w"
mkdir "$d/sub"
: >"$d/.dot" >"$d/Mixed.TXT" >"$d/x.txt.bak" >"$d/xylo"
# Names as Wine finds them (platform_test expects the same of the POSIX layer).
while IFS='|' read -r what got want; do check "$what" "$(eval run "$got")" "$want"; done <<'CASES'
folder|get "$d/sub"|0x10
a leading dot is hidden through the name|get "$d/.dot"|0x22
... and when found|find "$d/.DOT"|.dot 0x22
... but not through a handle|info "$d/.dot"|0x20
names are found without regard to case|find "$d/mixed.txt"|Mixed.TXT 0x20
X.* finds X.TXT.BAK|find "$d/X.*"|x.txt.bak 0x20
X.* does not find XYLO|find "$d/xyl.*"|none 2
renaming a file to its own name|move "$d/xylo" "$d/XYLO"|ok
renaming onto another file|move "$d/xylo" "$d/x.txt.bak"|183
Wine 8 wraps 2108 to 1980 (both twins refuse it)|dos 2108|ok 0x00c1
CASES
[ $fails -eq 0 ]
