#!/usr/bin/env bash
# lockquill-cli write and show, natively and under Wine (the command: the words after GOLDEN_DIR):
# round trips, the editor's own file shown and its bytes made again, the file tools on them.
set -u
golden=$1 && shift
cli=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
passes=0 fails=0
ok() { if [ "$1" = 0 ]; then passes=$((passes + 1)); else echo "FAIL: $2"; fails=$((fails + 1)); fi; }
is() { [ "$1" = "$2" ]; echo $?; }
pw=$'Nightjar7\nKestrel42\n'
# show FILE [PASSWORDS]: the text on out.bin, the trailers on err.txt.
show() {
  printf '%s' "${2:-$pw}" | "${cli[@]}" show --passwords-fd 0 "$1" >out.bin 2>err.txt
  set -- $? && sed -i 's/\r$//' err.txt && return "$1"  # Windows ends standard error's lines in CR LF
}
# write FILE OPTIONS... <TEXT: the passwords are the first lines of the input.
write() { { printf '%s' "$pw"; cat; } | "${cli[@]}" write --passwords-fd 0 "${@:2}" "$1" 2>err.txt; }

for i in $(seq 1 40); do printf 'Line %d of the note\r\n\tindented\r\n' "$i"; done >text.txt
for kind in none:0 speed:2 size:1 empty:0; do
  name=${kind%%:*} opt=()
  case $name in speed | size) opt=(--compress="$name") ;; esac
  if [ "$name" = empty ]; then : >in.txt; else cp text.txt in.txt; fi
  write "$name.ent" "${opt[@]}" --riddle "${name/empty/}" <in.txt
  ok $? "write $name: $(cat err.txt)"
  ok "$(is "$(od -An -tu1 -j $(($(wc -c <"$name.ent") - 107)) -N1 "$name.ent" | tr -d ' ')" "${kind#*:}")" \
    "$name: the record's compression"
  show "$name.ent"
  ok $? "show $name: $(cat err.txt)"
  cmp -s out.bin in.txt
  ok $? "show $name gives the text back"
  grep -qx "Riddle: ${name/empty/}" err.txt && grep -q "Version:4.0 l   Mode:3" err.txt &&
    grep -q "Status: OK !" err.txt
  ok $? "show $name: the trailers on standard error: $(cat err.txt)"
done
show none.ent $'Kestrel42\nNightjar7\n'
ok "$(is "$?$(cmp -s out.bin text.txt; echo $?)" 01)" "wrong passwords: garbled text, exit 0"

# The editor's file: shown, and made again byte for byte but for the DOS
# date and time of its record.
show "$golden/gui_note.ent"
ok "$(is "$?$(cmp -s out.bin "$golden/gui_note.txt"; echo $?)" 00)" "show the GUI-written file"
write same.ent --riddle "$(printf "Where was the orchard planted?\r\nAsk for the gardener's name.")" \
  <"$golden/gui_note.txt"
stamp=$(($(wc -c <same.ent) - 135 + 21))
ok "$(is "$(cmp -l same.ent "$golden/gui_note.ent" 2>&1 | awk -v s=$stamp '$1 < s || $1 > s + 3')" "")" \
  "write makes the editor's bytes"

# Decrypt a File reads what write wrote; show reads what encrypt wrote.
printf '%s' "$pw" | "${cli[@]}" decrypt --passwords-fd 0 size.ent >/dev/null 2>&1
ok "$(cmp -s size.ent text.txt; echo $?)" "decrypt what write wrote"
printf '%s' "$pw" | "${cli[@]}" encrypt --compress=speed --passwords-fd 0 size.ent >/dev/null 2>&1
show size.ent
ok "$(cmp -s out.bin text.txt; echo $?)" "show what encrypt wrote"

show text.txt
ok "$(is "$?$(grep -c 'not supported in this version' err.txt)" 11)" "show a plain file: 1, the message"
write x.ent --compress=fast <text.txt
ok "$(is "$?$([ -e x.ent ]; echo $?)" 21)" "write with a bad option: 2, no file"
ok "$(is "$("${cli[@]}" write --passwords-fd 3 x.ent 3<<<"$pw" <&- 2>/dev/null; echo $?)" 2)" "no input"

echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
