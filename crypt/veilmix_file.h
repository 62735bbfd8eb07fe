// Encryption and decryption of a file in place.
#pragma once

#include <cstdint>

#include "crypt/veil_stats.h"

// Encrypts (direction 1) or decrypts (direction -1) the file `path` in place
// under gPassword1 and gPassword2.  The file is moved to a backup name beside
// it ("TEF"; "BED" for a decryption with gMakeBackup set), transformed back
// under its own name and the backup wiped (or, "BED", kept).  Encryption
// compresses first when the record's compression is not 0, and appends gRiddle
// and the record; decryption drops them and expands afterwards when the
// record says the data was compressed.  The plain file's DOS time stamp and
// attributes travel in the record and come back on the decrypted file.
// Returns:
//    0  done
//    1  nothing done: the user declined to overwrite an old backup, or
//       (encryption) no backup name could be formed
//   -1  failed; the file is unchanged, or restored (an encryption that had
//       compressed it also expands it again), unless a message names the
//       backup that holds it
//  -12  the Riddle could not be written (encryption); the file is restored
//  -13  the record could not be written (encryption); the file is restored
//  -15  decrypted, but the expansion failed (the passwords may be wrong): the
//       encrypted file is put back under its name
//  -101 / -102 / -104  seek / read / write failure while transforming; the
//       file is restored
// Every failure is shown where it is detected, under "Lockquill(TM) ERROR:
// iVeilmixFile" unless a service shows its own.  A backup beside a file that
// is no finished result (the original of an operation that did not finish)
// is never questioned or wiped: the call stops with -1 and names it.
int iVeilmixFile(const char* path, VeilStats* record, int16_t direction);

// For the commands, before they read the file: a backup ("TEF"; for a
// decryption also "BED") left beside `path` by an encryption (direction 1)
// or decryption (-1) that did not finish.  Returns 0 none (or only a stale
// one beside a finished file), 1 the file was missing and its backup has been
// moved back under its name, -1 a remnant: nothing done, a message names the
// backup.
int lq_veil_remnant(const char* path, int16_t direction);
