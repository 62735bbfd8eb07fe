# lockquill-cli encrypt, decrypt and analyze (sourced by cli_test.sh).

# with_pw FILE COMMAND...: runs COMMAND with descriptor 3 reading FILE.
with_pw() {
  local pw=$1
  shift
  "$@" 3<"$pw"
}
size_of() { wc -c <"$1" | tr -d ' '; }
tail_hex() { tail -c 2 "$1" | od -An -tx1 | tr -d ' \n'; }
mtime_of() { stat -c %Y "$1"; }
# Read-only as the platform layer keeps it: no write permission bit at all
# (tested on the bits: a superuser may write anyway).
is_readonly() { [ -z "$(find "$1" -perm /222)" ]; }

mkdir crypt && cd crypt
printf 'Lockquill\nQuillock7\n' >../pw.txt
printf 'Meet me at the old mill at midnight.\n' >note.txt
touch -d '2001-02-03 04:05:06' note.txt
before=$(mtime_of note.txt)

# ---- encrypt and decrypt back
expect_code 0 "encrypt" with_pw ../pw.txt "$cli" encrypt --riddle "the raven" --passwords-fd 3 note.txt
[ "$(size_of note.txt)" -eq $((37 + 10 + 135)) ] && pass || fail "encrypted size $(size_of note.txt)"
[ "$(tail_hex note.txt)" = "8700" ] && pass || fail "record size word $(tail_hex note.txt)"
grep -q "Meet me" note.txt && fail "plain text left in the encrypted file" || pass
[ "$(mtime_of note.txt)" = "$before" ] && pass || fail "encrypted file's time stamp"
expect_absent note.TEF
cp note.txt first.enc
expect_code 0 "decrypt" with_pw ../pw.txt "$cli" decrypt --passwords-fd 3 note.txt
expect_file note.txt "Meet me at the old mill at midnight."
[ "$(mtime_of note.txt)" = "$before" ] && pass || fail "decrypted file's time stamp"
grep -qx "Riddle: the raven" out.txt && pass || fail "decrypt shows the Riddle: $(cat out.txt)"
grep -qx "Version:4.0 l   Mode:3" out.txt && pass || fail "decrypt shows the version line"
grep -qx "Status: OK !" out.txt && pass || fail "decrypt shows the status"
expect_absent note.TEF
# The same input gives the same file.
touch -d '2001-02-03 04:05:06' note.txt
expect_code 0 "encrypt again" with_pw ../pw.txt "$cli" encrypt --riddle "the raven" --passwords-fd 3 note.txt
cmp -s note.txt first.enc && pass || fail "encryption is not repeatable"
rm -f first.enc

# ---- compression, read-only, backup
head -c 20000 /dev/zero | tr '\0' 'z' >ledger.txt
for method in speed size; do
  expect_code 0 "encrypt --compress=$method" with_pw ../pw.txt "$cli" encrypt --compress=$method --read-only --passwords-fd 3 ledger.txt
  [ "$(size_of ledger.txt)" -lt 5000 ] && pass || fail "$method: compressed before encryption"
  is_readonly ledger.txt && pass || fail "$method: --read-only"
  expect_code 0 "decrypt $method" with_pw ../pw.txt "$cli" decrypt --make-backup --passwords-fd 3 ledger.txt
  [ "$(size_of ledger.txt)" -eq 20000 ] && [ -z "$(tr -d z <ledger.txt)" ] && pass || fail "$method: expanded"
  is_readonly ledger.txt && fail "$method: decrypted file is read-only" || pass
  [ -f ledger.BED ] && pass || fail "$method: --make-backup keeps ledger.BED"
  chmod u+w ledger.BED
  rm -f ledger.BED
done

# ---- the passwords' rules
printf 'data\n' >p.txt
check_pw() {  # passwords file content, wanted message
  printf "$1" >../bad.txt
  expect_code 2 "passwords $1" with_pw ../bad.txt "$cli" encrypt --passwords-fd 3 p.txt
  expect_err "$2"
  expect_file p.txt "data"
}
check_pw 'short6\nSHORT6\n' "the 1st password must have 7 to 20 characters (it has 6)"
check_pw 'abcdefghijklmnopqrstu\nABCDEFGHIJKLMNOPQRSTU\n' "the 1st password must have 7 to 20 characters (it has 21)"
check_pw 'Lockquill\nQuill\n' "the 2nd password must be as long as the 1st (9 characters; it has 5)"
check_pw 'Lockquill\nLockquill\n' "the two passwords must differ"
check_pw 'Lockquill\n' "two lines wanted"
expect_code 2 "no terminal, no descriptor" "$cli" encrypt p.txt
expect_err "never taken from the command line"
expect_code 2 "unknown compression" "$cli" encrypt --compress=fast p.txt
expect_code 2 "encrypt without a file" "$cli" encrypt
expect_absent p.TEF

# ---- refusals and questions
expect_code 1 "decrypt a plain file" with_pw ../pw.txt "$cli" decrypt --passwords-fd 3 p.txt
expect_err "Lockquill(TM) ERROR: iReadVeilStats :  The file $PWD/p.txt is either not supported in this version or not a Lockquill Encrypted file "
expect_file p.txt "data"
# A backup beside a file that is no finished result is an unfinished run's
# original: refused whatever the answer, the backup named and kept.
printf 'old backup' >p.TEF
expect_code 2 "unfinished run's backup, --yes" with_pw ../pw.txt "$cli" encrypt --yes --passwords-fd 3 p.txt
expect_err "its original is kept as $PWD/p.TEF."
expect_file p.TEF "old backup"
expect_file p.txt "data"
rm p.TEF
expect_code 0 "encrypt" with_pw ../pw.txt "$cli" encrypt --passwords-fd 3 p.txt
printf 'old backup' >p.TEF
expect_code 1 "stale backup, no terminal" with_pw ../pw.txt "$cli" decrypt --passwords-fd 3 p.txt
expect_err "There is alread an EnCrypted file $PWD/p.TEF backup"
expect_file p.TEF "old backup"
rm p.TEF
# A data byte changed: the status line says so and the decryption asks.
printf '\x01' | dd of=p.txt bs=1 seek=0 conv=notrunc 2>/dev/null
cp p.txt damaged.enc
expect_code 1 "bad checksum, no terminal" with_pw ../pw.txt "$cli" decrypt --passwords-fd 3 p.txt
grep -qx "Status: BAD checksum" out.txt && pass || fail "bad checksum shown: $(cat out.txt)"
cmp -s p.txt damaged.enc && pass || fail "declined decryption changed the file"
expect_code 0 "bad checksum, --yes" with_pw ../pw.txt "$cli" decrypt --yes --passwords-fd 3 p.txt
[ "$(size_of p.txt)" -eq 5 ] && pass || fail "decrypted anyway"
rm -f damaged.enc

# ---- hygiene: a NUL in a password, a hostile Riddle, decrypt asks twice
printf 'Meet\n' >t.txt
printf 'Lockq\0uill\nQuillock77\n' >../nul.txt
expect_code 2 "NUL in a password" with_pw ../nul.txt "$cli" encrypt --passwords-fd 3 t.txt
expect_err "a password must not hold a NUL byte"
expect_file t.txt "Meet"
expect_code 0 "encrypt, Riddle with control bytes" with_pw ../pw.txt "$cli" encrypt --riddle $'a\x1b[2Jb\tc' --passwords-fd 3 t.txt
# tty_run ANSWER... -- COMMAND...: COMMAND on a pseudo-terminal; each answer is
# typed when the next password prompt has appeared.
tty_run() {
  python3 - "$@" >out.txt 2>err.txt <<'PY'
import os, pty, sys
a = sys.argv[1:]; cut = a.index('--'); answers, cmd = a[:cut], a[cut + 1:]
pid, fd = pty.fork()
if pid == 0:
    os.execvp(cmd[0], cmd)
out, sent = b'', 0
while True:
    try:
        chunk = os.read(fd, 1024)
    except OSError:
        break
    if not chunk:
        break
    out += chunk
    while sent < len(answers) and out.count(b'password') > sent:
        os.write(fd, answers[sent].encode() + b'\n')
        sent += 1
sys.stdout.write(out.decode(errors='replace'))
sys.exit(os.WEXITSTATUS(os.waitpid(pid, 0)[1]))
PY
}
tty_run Lockquill Lockquil1 Quillock7 Quillock7 -- "$cli" decrypt t.txt
[ $? -eq 2 ] && grep -q "the 1st password and its confirmation differ" out.txt && pass || fail "decrypt confirms the 1st password: $(cat out.txt)"
grep -qF 'Riddle: a\x1b[2Jb\x09c' out.txt && pass || fail "the Riddle's control bytes escaped: $(cat -v out.txt)"
tty_run Lockquill Lockquill Quillock7 Quillock7 -- "$cli" decrypt t.txt && pass || fail "decrypt on a terminal: $(cat out.txt)"
expect_file t.txt "Meet"
# A UU file cut before its data ends is a failure.
printf 'begin 666 s.bin\n#0V%%T\n' >s.uut
expect_code 2 "uudecode of a 'Short' file" "$cli" uudecode s.uut
expect_err "The file to decode is 'Short'"

# ---- analyze
head -c 1000 /dev/zero | tr '\0' 'A' >a.bin
expect_code 0 "analyze" "$cli" analyze a.bin
grep -qx "Most Common Byte Value: 65" out.txt && pass || fail "analyze value: $(cat out.txt)"
grep -qx "Number of Most Common: 1000" out.txt && pass || fail "analyze count"
grep -qx "Average occurance: 3" out.txt && pass || fail "analyze average"
grep -qx "Total Bytes: 1000" out.txt && pass || fail "analyze total"
# One full-height column, at value 65 (column 16 of 64).
[ "$(grep -c '^  |                #                                               |$' out.txt)" -eq 8 ] && pass || fail "histogram: $(cat out.txt)"
expect_code 1 "analyze --encrypted on a plain file" "$cli" analyze --encrypted a.bin
expect_code 0 "encrypt for analysis" with_pw ../pw.txt "$cli" encrypt --passwords-fd 3 a.bin
expect_code 0 "analyze --encrypted" "$cli" analyze --encrypted a.bin
grep -qx "Total Bytes: 1000" out.txt && pass || fail "only the data part is counted: $(cat out.txt)"
expect_code 0 "analyze the whole encrypted file" "$cli" analyze a.bin
grep -qx "Total Bytes: 1136" out.txt && pass || fail "the whole file is counted"
expect_code 2 "analyze a missing file" "$cli" analyze missing.bin

cd ..
chmod -R u+w crypt
rm -rf crypt pw.txt bad.txt
