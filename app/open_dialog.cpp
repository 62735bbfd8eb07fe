// The open dialog on the shared record.
#include "app/app.h"

BOOL bGetOpenFileName(OPENFILENAMEA* record, HWND owner, BOOL full_setup) {
    if (full_setup) {
        record->lpstrFile = szFileName;
        record->nMaxFile = sizeof(szFileName);
        szFileTitle[0] = 0;
        record->lpstrFileTitle = szFileTitle;
        record->nMaxFileTitle = sizeof(szFileTitle);
        record->Flags = LQ_OFN_OPEN_FLAGS;
    }
    record->lStructSize = LQ_OFN_STRUCT_SIZE;
    record->hwndOwner = owner;
    record->nFilterIndex = 1;
    record->hInstance = nullptr;
    record->lpstrCustomFilter = nullptr;
    record->nMaxCustFilter = 0;
    record->lpstrInitialDir = nullptr;
    record->nFileOffset = 0;
    record->nFileExtension = 0;
    record->lpstrDefExt = nullptr;
    record->lCustData = 0;
    record->lpTemplateName = nullptr;
    // No initial folder and no OFN_NOCHANGEDIR: the current directory follows
    // the chosen file, which the free-space checks rely on.
    return GetOpenFileNameA(record) != 0;
}

BOOL lq_get_private_open_file_name(HWND owner) {
    ofnShared.lpstrFile = szFileName;
    ofnShared.nMaxFile = sizeof(szFileName);
    szFileTitle[0] = 0;
    ofnShared.lpstrFileTitle = szFileTitle;
    ofnShared.nMaxFileTitle = sizeof(szFileTitle);
    ofnShared.Flags = LQ_OFN_OPEN_FLAGS | LQ_OFN_DONT_ADD_TO_RECENT;
    return bGetOpenFileName(&ofnShared, owner, FALSE);
}
