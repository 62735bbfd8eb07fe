#!/usr/bin/env bash
# lockquill-cli write and show, natively and under Wine (the command: the words after GOLDEN_DIR):
# options, exit codes, the bytes shown; the editor's own file shown and made again.
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
# show FILE [PASSWORDS] [OUT]: the text on OUT (out.bin), the trailers on err.txt; the exit code.
show() {
  printf '%s' "${2:-$pw}" | "${cli[@]}" show --passwords-fd 0 "$1" >"${3:-out.bin}" 2>err.txt
  set -- $? && sed -i 's/\r$//' err.txt && return "$1"  # Windows ends standard error's lines in CR LF
}
# write FILE OPTIONS... <TEXT: the passwords are the first lines of the input.
write() { { printf '%s' "$pw"; cat; } | "${cli[@]}" write --passwords-fd 0 "${@:2}" "$1" 2>err.txt; }

for i in $(seq 1 40); do printf 'Line %d of the note\r\n\tindented\r\n' "$i"; done >text.txt
head -c 70000 /dev/urandom | tr -d '\0' >noise.txt  # past the first 64 KiB input block
: >empty.txt
# NAME:OPTIONS:the record's compression:INPUT:read-only: text that does not compress is stored.
for row in none::0:text: speed:--compress=speed,--read-only:2:text:1 size:--compress=size:1:text: \
  noise:--compress=size:0:noise: empty::0:empty:; do
  IFS=: read -r name opt stored in ro <<<"$row"
  write "$name.ent" ${opt//,/ } --riddle "$name" <$in.txt
  ok "$(is "$?:$(od -An -tu1 -j $(($(wc -c <"$name.ent") - 107)) -N1 "$name.ent" | tr -d ' '):$(grep -c \
    'CANCELLING BUFFER COMPRESSION' err.txt)$(find "$name.ent" -perm /222 | wc -l)" \
    "0:$stored:$([ $name = noise ]; echo $((1 - $?)))$((1 - ${ro:-0}))")" \
    "write $name: exit, the record's compression, declined compression, read-only: $(cat err.txt)"
  show "$name.ent"
  ok "$(is "$?$(cmp -s out.bin $in.txt; echo $?)$(cat err.txt)" \
    "00Riddle: $name"$'\nVersion:4.0 l   Mode:3\nStatus: OK !')" "show $name: the text back, the trailers"
done
# A zero byte ends the text shown, with the load's warning; output that cannot be written fails.
printf 'two\0parts' | write zero.ent
show zero.ent
ok "$(is "$?$(cat out.bin)$(grep -c '^Lockquill(TM) WARNING: iLoadEncryptedEditFile :  The size of the file is different' err.txt)" 0two1)" \
  "show a text with a zero byte: $(cat err.txt)"
if [ -w /dev/full ]; then
  show none.ent "$pw" /dev/full
  ok "$(is "$?$(grep -c 'standard output could not be written' err.txt)" 21)" "show to a full disk: 2"
fi

# The editor's file: shown, and made again byte for byte but for its record's DOS date and time.
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
