// The progress window of long operations, dialog 1100, behind iShowProgress.
#pragma once

#include <windows.h>

// Installs the window as the progress window of iShowProgress.
void lq_install_progress_window();
INT_PTR CALLBACK PROGRESSDIALOGBOXPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
