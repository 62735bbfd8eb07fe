#include "fileops/remnant.h"

#include "fileops/file_services.h"

int lq_check_remnant(const char* path, const char* backup, LqCompleteTest complete, void* context,
                     const char* caption) {
    if (!bDoesFileExist(backup, nullptr, false)) return 0;
    if (!bDoesFileExist(path, nullptr, false)) {
        // Killed between the move to the backup name and the creation of the
        // result: the backup is the whole original.
        if (iRename(backup, path) == 0) return 1;
        lq_message_format(
            " The file %s is missing; its original is kept as %s and could not be renamed "
            "back.  Nothing was done: rename it by hand.",
            path, backup);
        lq_message_show(caption, LQ_MB_OK | LQ_MB_ICONSTOP);
        return -1;
    }
    if (complete(path, backup, context)) return 0;
    lq_message_format(
        " The file %s is the incomplete result of an operation that did not finish; its "
        "original is kept as %s.  Nothing was done: check both files and rename the backup "
        "back by hand.",
        path, backup);
    lq_message_show(caption, LQ_MB_OK | LQ_MB_ICONSTOP);
    return -1;
}
