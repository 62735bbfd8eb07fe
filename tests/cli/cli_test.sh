#!/usr/bin/env bash
# lockquill-cli end to end: exit codes, messages on standard error, files left
# on disk.  Each subcommand adds its cases in a cases_<name>.sh beside this file,
# using the helpers below.
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
expect_code() {  # want, description, command...
  local want=$1 what=$2
  shift 2
  "$@" >out.txt 2>err.txt </dev/null
  local got=$?
  if [ "$got" -eq "$want" ]; then pass; else fail "$what: exit $got, want $want; stderr: $(cat err.txt)"; fi
}
expect_file() { [ -f "$1" ] && [ "$(cat "$1")" = "$2" ] && pass || fail "file $1 not as expected"; }
expect_absent() { [ ! -e "$1" ] && pass || fail "$1 still exists"; }
expect_err() { grep -qF -- "$1" err.txt && pass || fail "stderr lacks '$1': $(cat err.txt)"; }

expect_code 0 "--help" "$cli" --help && grep -q "wipe FILE" out.txt || fail "--help lists wipe"
expect_code 0 "--version" "$cli" --version && grep -q "LQ32E40L" out.txt || fail "--version"
expect_code 2 "unknown command" "$cli" frobnicate
expect_code 2 "no command" "$cli"

# wipe: a read-only file too, and in another folder; nothing left, not even the last name
mkdir sub
printf 'secret' >a.txt
printf 'more' >b.txt
printf 'x' >sub/in.txt
chmod a-w b.txt
expect_code 0 "wipe three files, one read-only" "$cli" wipe a.txt b.txt sub/in.txt
[ "$(ls -A . sub | tr '\n' ' ')" = ".: err.txt out.txt sub  sub: " ] && pass || fail "leftovers: $(ls -A . sub)"
expect_code 2 "wipe a missing file" "$cli" wipe missing.txt
expect_err "Lockquill(TM) ERROR: iWipeFile:  COULD NOT obtain and/or remove Read Only attributes of the file missing.txt to WIPE it!"
expect_code 2 "wipe without a file" "$cli" wipe

# The progress bar is drawn where standard error is a terminal (script makes
# one), and not with --quiet.
seq 1 30000 >big.txt
script -qec "'$cli' compress --fast big.txt" /dev/null </dev/null >tty.txt
grep -qE $'\r Speed compression of \\[#+\\.+\\][ 0-9]{3}% completed ' tty.txt && pass || fail "no bar: $(head -c 300 tty.txt)"
# A yes/no question asked on a terminal offers no cancel, and asks again
# until answered.
printf x >big.TCF
printf 'maybe\nn\n' | script -qec "'$cli' expand big.txt" /dev/null >tty.txt
[ "$(grep -oF '  [y]es or [n]o? ' tty.txt | wc -l)" -eq 2 ] && pass || fail "question: $(cat tty.txt)"
rm big.TCF
script -qec "'$cli' expand --quiet big.txt" /dev/null </dev/null >tty.txt
grep -q "completed" tty.txt && fail "a bar with --quiet" || pass
rm -f big.txt tty.txt

for extra in "$here"/cases_*.sh; do
  [ -f "$extra" ] && source "$extra"
done

echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
