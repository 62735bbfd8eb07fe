#!/usr/bin/env bash
# lockquill-cli end to end: exit codes, messages on standard error, files left
# on disk.  Each subcommand adds its cases in a cases_<name>.sh beside this file;
# they use the helpers below.
set -u
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
passes=0
fails=0

pass() { passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
# expect_code WANT DESCRIPTION COMMAND...
expect_code() {
  local want=$1 what=$2
  shift 2
  "$@" >out.txt 2>err.txt </dev/null
  local got=$?
  if [ "$got" -eq "$want" ]; then pass; else fail "$what: exit $got, want $want; stderr: $(cat err.txt)"; fi
}
expect_file() {  # path, wanted content
  if [ -f "$1" ] && [ "$(cat "$1")" = "$2" ]; then pass; else fail "file $1 not as expected"; fi
}
expect_absent() { if [ ! -e "$1" ]; then pass; else fail "$1 still exists"; fi; }
expect_err() {  # substring of standard error
  if grep -qF -- "$1" err.txt; then pass; else fail "stderr lacks '$1': $(cat err.txt)"; fi
}

# ---- general
expect_code 0 "--help" "$cli" --help && grep -q "wipe FILE" out.txt || fail "--help lists wipe"
expect_code 0 "--version" "$cli" --version && grep -q "LQ32E40L" out.txt || fail "--version"
expect_code 2 "unknown command" "$cli" frobnicate
expect_code 2 "no command" "$cli"

# ---- wipe
printf 'secret' >a.txt
printf 'more' >b.txt
chmod a-w b.txt
expect_code 0 "wipe two files, one read-only" "$cli" wipe a.txt b.txt
for f in a.txt b.txt $'\xff'; do expect_absent "$f"; done
[ -z "$(ls -A)" ] || [ "$(ls -A)" = "$(printf 'err.txt\nout.txt')" ] && pass || fail "leftovers: $(ls -A)"
mkdir sub
printf 'x' >sub/in.txt
expect_code 0 "wipe in another folder" "$cli" wipe sub/in.txt
for f in sub/in.txt sub/$'\xff'; do expect_absent "$f"; done
expect_code 2 "wipe a missing file" "$cli" wipe missing.txt
expect_err "Lockquill(TM) ERROR: iWipeFile:  COULD NOT obtain and/or remove Read Only attributes of the file missing.txt to WIPE it!"
expect_code 2 "wipe without a file" "$cli" wipe

for extra in "$here"/cases_*.sh; do
  [ -f "$extra" ] && source "$extra"
done

echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
