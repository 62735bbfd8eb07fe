# lockquill-cli encrypt, decrypt and analyze (sourced by cli_test.sh): options, passwords, exit
# codes and what is shown; the operations themselves are tested in tests/crypt.
ok() { if "${@:2}"; then pass; else fail "$1: $(cat out.txt err.txt 2>/dev/null)"; fi; }  # WHAT TEST...
said() { grep -qxF -- "$1" out.txt; }  # a whole line of standard output
enc() { "$cli" encrypt --passwords-fd 3 "$@" 3<"${PW:-../pw.txt}"; }
dec() { "$cli" decrypt --passwords-fd 3 "$@" 3<../pw.txt; }

mkdir crypt && cd crypt
printf 'Lockquill\nQuillock7\n' >../pw.txt
head -c 20000 /dev/zero | tr '\0' 'z' >ledger.txt
for method in speed:2 size:1; do
  expect_code 0 "encrypt --compress=${method%:*}" enc --compress=${method%:*} --read-only --riddle "the raven" ledger.txt
  ok "$method: the record's compression, read-only" [ "$(od -An -tu1 -j $(($(wc -c <ledger.txt) - 107)) -N1 ledger.txt | tr -d ' ')" = ${method#*:} -a -z "$(find ledger.txt -perm /222)" ]
  expect_code 0 "decrypt $method" dec --make-backup ledger.txt
  ok "$method: expanded, writable, --make-backup" [ "$(tr -d z <ledger.txt)$(wc -c <ledger.txt)" = 20000 -a -n "$(find ledger.txt -perm /200)" -a -f ledger.BED ]
  ok "$method: the trailers shown" [ "$(grep -cxF -e "Riddle: the raven" -e "Version:4.0 l   Mode:3" -e "Status: OK !" out.txt)" = 3 ]
  rm -f ledger.BED
done

printf 'data\n' >p.txt
while IFS='|' read -r pws message; do
  printf "$pws" >../bad.txt
  PW=../bad.txt expect_code 2 "passwords $pws" enc p.txt
  expect_err "$message"
done <<'ROWS'
short6\nSHORT6\n|the 1st password must have 7 to 20 characters (it has 6)
abcdefghijklmnopqrstu\nABCDEFGHIJKLMNOPQRSTU\n|the 1st password must have 7 to 20 characters (it has 21)
Lockquill\nQuill\n|the 2nd password must be as long as the 1st (9 characters; it has 5)
Lockquill\nLockquill\n|the two passwords must differ
Lockquill\n|two lines wanted
Lockq\0uill\nQuillock77\n|a password must not hold a NUL byte
ROWS
expect_code 2 "no terminal, no descriptor" "$cli" encrypt p.txt
expect_err "never taken from the command line"
expect_code 2 "unknown compression" "$cli" encrypt --compress=fast p.txt
expect_code 2 "encrypt without a file" "$cli" encrypt
long=$(printf "%$((255 - $(pwd -P | wc -c)))s" | tr ' ' L)  # a full path of 255 characters
printf 'x' >"$long" && printf 'x' >"${long}6"
expect_code 0 "a path of 255 characters" enc "$long"
expect_code 2 "a path of 256 characters" enc "${long}6"
expect_err "longer than 255"
expect_code 1 "decrypt a plain file" dec p.txt
expect_err "Lockquill(TM) ERROR: iReadVeilStats :  The file $PWD/p.txt is either not supported in this version or not a Lockquill Encrypted file "
printf 'old backup' >p.TEF  # an unfinished run's original beside its file: refused even with --yes
expect_code 2 "unfinished run's backup, --yes" enc --yes p.txt
expect_err "its original is kept as $PWD/p.TEF."
rm p.TEF
expect_code 0 "encrypt" enc p.txt
printf '\x01' | dd of=p.txt bs=1 seek=0 conv=notrunc 2>/dev/null
cp p.txt damaged.enc
expect_code 1 "bad checksum, no terminal" dec p.txt
ok "bad checksum shown, file kept" eval 'said "Status: BAD checksum" && cmp -s p.txt damaged.enc'
expect_code 0 "bad checksum, --yes" dec --yes p.txt
ok "decrypted anyway" [ "$(wc -c <p.txt)" -eq 5 ]

# On a terminal decrypt asks each password twice; the Riddle's control bytes are shown escaped.
printf 'Meet\n' >t.txt
expect_code 2 "a Riddle of 1024 characters" enc --riddle "$(printf 'r%.0s' {1..1024})" t.txt
expect_code 0 "Riddle with control bytes" enc --riddle $'a\x1b[2Jb\tc' t.txt
tty_run() {  # ANSWERS COMMAND...: each answer typed once the next password prompt is out
  python3 -c '
import os, pty, sys
answers, out = sys.argv[1].split(), b""
n, (pid, fd) = len(answers), pty.fork()
if pid == 0: os.execvp(sys.argv[2], sys.argv[2:])
while True:
    try: chunk = os.read(fd, 1024)
    except OSError: break
    if not chunk: break
    out += chunk
    while answers and out.count(b"password") > n - len(answers):
        os.write(fd, answers.pop(0).encode() + b"\n")
sys.stdout.write(out.decode(errors="replace"))
sys.exit(os.WEXITSTATUS(os.waitpid(pid, 0)[1]))' "$@" >out.txt 2>err.txt
}
tty_run "Lockquill Lockquil1 Quillock7 Quillock7" "$cli" decrypt t.txt
ok "exit 2" [ $? -eq 2 ]
ok "confirms the 1st password" grep -q "the 1st password and its confirmation differ" out.txt
ok "Riddle escaped" grep -qF 'Riddle: a\x1b[2Jb\x09c' out.txt
ok "decrypt on a terminal" tty_run "Lockquill Lockquill Quillock7 Quillock7" "$cli" decrypt t.txt
expect_file t.txt "Meet"
printf 'begin 666 s.bin\n#0V%%T\n' >s.uut
expect_code 2 "uudecode of a 'Short' file" "$cli" uudecode s.uut
expect_err "The file to decode is 'Short'"

head -c 1000 /dev/zero | tr '\0' 'A' >a.bin
expect_code 0 "analyze" "$cli" analyze a.bin
# The counts, and one full-height column at value 65 (column 16 of 64).
ok "analyze" [ "$(grep -cxF -e "Most Common Byte Value: 65" -e "Number of Most Common: 1000" -e "Average occurance: 3" -e "Total Bytes: 1000" -e '  |                #                                               |' out.txt)" -eq 12 ]
expect_code 1 "analyze --encrypted on a plain file" "$cli" analyze --encrypted a.bin
# Heights round up: 500 'E's beside 1000 'A's fill exactly half the rows.
{ cat a.bin; head -c 500 /dev/zero | tr '\0' 'E'; } >h.bin
expect_code 0 "analyze half" "$cli" analyze h.bin
ok "analyze half" [ "$(grep -cxF '  |                ##                                              |' out.txt)" -eq 4 ]
expect_code 0 "encrypt for analysis" enc a.bin
for total in --encrypted:1000 :1136; do  # only the data part counted, or the whole file
  expect_code 0 "analyze $total" "$cli" analyze ${total%:*} a.bin
  ok "analyze $total" said "Total Bytes: ${total#*:}"
done
expect_code 2 "analyze a missing file" "$cli" analyze missing.bin
cd ..
chmod -R u+w crypt && rm -rf crypt pw.txt bad.txt
