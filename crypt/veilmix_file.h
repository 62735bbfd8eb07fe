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
//   -1  failed; the file is unchanged, or restored
//  -12  the Riddle could not be written (encryption); the file is restored
//  -13  the record could not be written (encryption); the file is restored
//  -15  decrypted, but the expansion failed: the file holds the decrypted
//       compressed data
//  -101 / -102 / -104  seek / read / write failure while transforming; the
//       file is restored
// Every failure is shown where it is detected, under "Lockquill(TM) ERROR:
// iVeilmixFile" unless a service shows its own.
int iVeilmixFile(const char* path, VeilStats* record, int16_t direction);
