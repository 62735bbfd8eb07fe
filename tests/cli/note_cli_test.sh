#!/usr/bin/env bash
# lockquill-cli write and show, run natively and under Wine: round trips for
# each compression, the same bytes as the editor's own save (the golden file
# the GUI test wrote), and the file tools reading what write wrote.
#   note_cli_test.sh GOLDEN_DIR CLI_COMMAND...
set -u
golden=$1
shift
cli=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
passes=0
fails=0
ok() { if [ "$1" = 0 ]; then passes=$((passes + 1)); else echo "FAIL: $2"; fails=$((fails + 1)); fi; }
pw=$'Nightjar7\nKestrel42\n'
# show FILE [PASSWORDS]: the text on out.bin, the trailers on err.txt.
show() { printf '%s' "${2:-$pw}" | "${cli[@]}" show --passwords-fd 0 "$1" >out.bin 2>err.txt; }
# write FILE OPTIONS...: standard input after the two password lines.
write() {
  local f=$1
  shift
  { printf '%s' "$pw"; cat; } | "${cli[@]}" write --passwords-fd 0 "$@" "$f" 2>err.txt
}
record_byte() { od -An -tu1 -j $(($(wc -c <"$1") - 135 + $2)) -N1 "$1" | tr -d ' '; }

for i in $(seq 1 40); do printf 'Line %d of the note\r\n\tindented\r\n' "$i"; done >text.txt
for kind in none:0 speed:2 size:1 ""; do
  opt=()
  [ "${kind%%:*}" = none ] || [ -z "$kind" ] || opt=(--compress="${kind%%:*}")
  f=n_${kind%%:*}.ent
  if [ -z "$kind" ]; then f=empty.ent; : >in.txt; else cp text.txt in.txt; fi
  write "$f" "${opt[@]}" --riddle "Which orchard?" <in.txt
  ok $? "write $kind: $(cat err.txt)"
  [ -z "$kind" ] || ok "$([ "$(record_byte "$f" 28)" = "${kind#*:}" ]; echo $?)" "compression $kind"
  show "$f"
  ok $? "show $kind: $(cat err.txt)"
  cmp -s out.bin in.txt
  ok $? "show $kind gives the text back"
  grep -q "Riddle: Which orchard?" err.txt && grep -q "Version:4.0 l   Mode:3" err.txt &&
    grep -q "Status: OK !" err.txt
  ok $? "show $kind: trailers on standard error: $(cat err.txt)"
done

# Wrong passwords: garbled text (or the size warning), still a success.
show n_none.ent $'Kestrel42\nNightjar7\n'
ok $? "show with wrong passwords"
cmp -s out.bin text.txt && ok 1 "wrong passwords gave the text" || ok 0 ""

# The editor's own file is shown; write makes its very bytes but for the
# record's DOS date and time.
show "$golden/gui_note.ent"
ok $? "show the GUI-written file: $(cat err.txt)"
cmp -s out.bin "$golden/gui_note.txt"
ok $? "the GUI-written file's text"
write same.ent --riddle "$(printf "Where was the orchard planted?\r\nAsk for the gardener's name.")" <"$golden/gui_note.txt"
ok $? "write as the editor: $(cat err.txt)"
stamp=$(($(wc -c <same.ent) - 135 + 21))
diffs=$(cmp -l same.ent "$golden/gui_note.ent" | awk -v s=$stamp '$1 < s || $1 > s + 3' | wc -l)
ok "$([ "$(wc -c <same.ent)" = "$(wc -c <"$golden/gui_note.ent")" ] && [ "$diffs" = 0 ]; echo $?)" \
  "write gives the editor's bytes ($diffs bytes differ)"

# The Secure menu's file decryption reads what write wrote, and show reads
# what encrypt wrote.
printf '%s' "$pw" | "${cli[@]}" decrypt --passwords-fd 0 n_size.ent >/dev/null 2>err.txt
ok $? "decrypt: $(cat err.txt)"
cmp -s n_size.ent text.txt
ok $? "decrypt gives the text"
printf '%s' "$pw" | "${cli[@]}" encrypt --compress=speed --passwords-fd 0 n_size.ent >/dev/null 2>&1
show n_size.ent
cmp -s out.bin text.txt
ok $? "show reads what encrypt wrote"

# A plain file is no encrypted text; bad options are refused.
show text.txt
ok "$([ $? = 1 ]; echo $?)" "show a plain file: exit 1"
grep -q "not supported in this version" err.txt
ok $? "show a plain file: the reader's message"
write x.ent --compress=fast <text.txt
ok "$([ $? = 2 ] && [ ! -e x.ent ]; echo $?)" "write with a bad option"

echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
