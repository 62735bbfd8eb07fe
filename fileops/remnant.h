// The remnant of an in-place operation that did not finish.
//
// An in-place operation (compress, expand, encrypt, decrypt) first moves the
// file to a backup name and writes the result under the file's own name.  A
// process killed between the two (power cut, crash) leaves the original under
// the backup name beside an incomplete result.  Asking "overwrite the old
// backup ?" then and wiping it on Yes would destroy the only good copy, so an
// operation asks this function first, before any question about the backup.
#pragma once

// Tells whether the file under `path` is a finished file beside which the
// backup is merely stale (a complete result, or an input of the operation).
// Only called when both files exist.
typedef bool (*LqCompleteTest)(const char* path, const char* backup, void* context);

// Returns:
//    0  no remnant: no backup, or `complete` says the file is finished; the
//       operation goes on as usual (asking about an existing backup)
//    1  the file was missing beside its backup: the backup has been moved back
//       under the file's name (its times kept by the move); go on
//   -1  a remnant: nothing was changed, and a message naming the backup has
//       been shown under `caption` (style 16); the operation must stop
int lq_check_remnant(const char* path, const char* backup, LqCompleteTest complete, void* context,
                     const char* caption);
