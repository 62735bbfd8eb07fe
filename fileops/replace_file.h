// The editor's save: new content for a file, written so that the file keeps
// its identity and no failure leaves it empty, cut or missing.
//
// A symlink is followed and its target saved.  In the common case the content
// goes to a temporary file in the same folder, is flushed, and replaces the
// target in one step (ReplaceFileA on Windows: security descriptor,
// encryption, streams and creation time kept; rename and a flush of the
// folder on POSIX: mode and, where allowed, owner kept).  Where that would
// change the file's identity or cannot run (more than one hard link, a folder
// where nothing can be created, a target open elsewhere without delete
// sharing) the content is written in place, the old content held to be put
// back on failure.  Temporary and old copies are removed with iWipeFile; one
// that cannot be removed is named in a message box of its own.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Writes the whole new content to f (positioned at 0, empty).  Returns 0, or
// -1 after formatting its own message in szMessageBuffer (not shown).
typedef int (*LqReplaceWriter)(PfFile f, void* context);

// Replaces the content of path (a new file when none exists) with what writer
// writes.  The file's attributes are kept (read-only removed for the write
// and put back); the caller changes them afterwards if it wants to.
// Returns 0 on success.  -1 on failure, with the old file as it was (content,
// attributes, times) or no file when there was none, and the failure's text
// in szMessageBuffer, not shown: the writer's own message, or
// " Could NOT open the file\r\n %s for writing." (path) when nothing could be
// opened for writing, or a message of the replace step itself.
int lq_replace_file(const char* path, LqReplaceWriter writer, void* context);
