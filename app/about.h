// The About box, dialog 300.
#pragma once

#include <windows.h>

INT_PTR CALLBACK ABOUTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
