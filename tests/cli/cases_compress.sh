# compress / expand (sourced by cli_test.sh)
for i in $(seq 1 400); do printf 'Line %d of a letter that stays private, word after word.\n' "$i"; done >letter.txt
cp letter.txt letter.orig
touch -d '2001-02-03 04:05:06' letter.txt
kept() { [ "$(stat -c %Y letter.txt)" = "$(date -d '2001-02-03 04:05:06' +%s)" ] && [ ! -e letter.TCF ]; }
for mode in --fast --max; do
  expect_code 0 "compress $mode" "$cli" compress $mode letter.txt
  expect_err "Lockquill(TM) Message: iCompressFile :  The compressed file $PWD/letter.txt is "
  [ "$(tail -c 2 letter.txt | od -An -tx1 | tr -d ' ')" = "fe00" ] && kept && pass || fail "$mode: record at the end, time kept"
  expect_code 0 "expand after $mode" "$cli" expand letter.txt
  cmp -s letter.txt letter.orig && kept && pass || fail "expand after $mode: content, time kept"
done
expect_code 0 "compress" "$cli" compress --fast letter.txt
printf 'old backup' >letter.TCF
expect_code 1 "expand, backup exists, no terminal" "$cli" expand letter.txt
expect_err "A previous backup file named $PWD/letter.TCF for the expansion operation already exists!"
expect_file letter.TCF "old backup"
expect_code 0 "expand, backup exists, --yes" "$cli" expand --yes letter.txt
cmp -s letter.txt letter.orig && [ ! -e letter.TCF ] && pass || fail "expand --yes: content, backup gone"
expect_code 2 "expand a plain file" "$cli" expand letter.orig
expect_err "is either not supported in this version or not a Lockquill Compressed file"
for args in "compress letter.txt" "expand" "compress --fast --best letter.txt"; do expect_code 2 "bad arguments: $args" "$cli" $args; done
rm -f letter.txt letter.orig
