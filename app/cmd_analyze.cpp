// File analysis: File, Analyze a File (5004) and Secure, Analyze an Encrypted
// File (5005).
#include "app/analyze.h"

#include "app/app.h"
#include "app/commands.h"

#include <cstdio>
#include <cstring>

#include "crypt/veil_reader.h"
#include "crypt/veil_stats.h"

namespace {

const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;

// Runs the open dialog, scans the chosen file and shows the dialog.  The
// scan's own refusals (a file that is not an encrypted file) are reported by
// the reader; a file that cannot be read at all gets our message, so that the
// command never ends in silence.
int analyze(HWND frame, const char* title, const char* filter, int16_t encrypted,
            const char* caption) {
    std::strcpy(szFileName, "*.*");
    ofnShared.lpstrFilter = filter;
    ofnShared.lpstrTitle = title;
    if (!bGetOpenFileName(&ofnShared, frame, TRUE)) return 1;
    int16_t header_size = 0;
    int r = iScanFileBytes(szFileName, &gDlgVeilStats, encrypted, &header_size, 0, encrypted);
    if (r < 0) {
        lq_message_format(encrypted ? " Could not read the file %s as an encrypted file to "
                                      "analyze it."
                                    : " Could not read the file %s to analyze it.",
                          szFileName);
        lq_message_show(caption, error_style);
    }
    if (r != 0) return 1;
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ANALYSIS), frame, FILEANALYSISBOXPROC, 0);
    return 1;
}

struct Figures {
    uint32_t total = 0;
    int16_t most_value = 0;
    uint32_t most_count = 0;
};

Figures figures() {
    Figures f;
    for (int v = 0; v < 256; ++v) {
        f.total += gByteCounts[v];
        // Strictly greater: on equal counts the smallest value stays.
        if (gByteCounts[v] > f.most_count) {
            f.most_count = gByteCounts[v];
            f.most_value = int16_t(v);
        }
    }
    return f;
}

// The histogram area in the dialog's client coordinates, by the rule of the
// original layout: the frame's window rectangle taken relative to the
// dialog's window corner, the caption counted as one menu bar high.
RECT histogram_area(HWND dlg) {
    RECT d, a;
    GetWindowRect(dlg, &d);
    d.top += GetSystemMetrics(SM_CYMENU);
    GetWindowRect(GetDlgItem(dlg, IDC_ANALYSIS_AREA), &a);
    OffsetRect(&a, -d.left, -d.top);
    return a;
}

void draw(HWND dlg) {
    const RECT a = histogram_area(dlg);
    HDC dc = GetDC(dlg);
    SetBkMode(dc, OPAQUE);
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(LTGRAY_BRUSH));
    Rectangle(dc, a.left, a.top, a.right, a.bottom);

    const Figures f = figures();
    if (f.most_count != 0) {
        HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 255));
        HGDIOBJ old_pen = SelectObject(dc, pen);
        SetROP2(dc, R2_XORPEN);
        const float height = float(a.bottom - a.top);
        for (int i = 0; i < 256; ++i) {
            const int x = a.left + i + 2;
            const int h = int(float(gByteCounts[i]) / float(f.most_count) * height);
            MoveToEx(dc, x, a.bottom, nullptr);
            LineTo(dc, x, a.bottom - h);
            if (i == 0 || i == 64 || i == 128 || i == 192 || i == 255) {
                MoveToEx(dc, x, a.bottom, nullptr);
                LineTo(dc, x, a.bottom + 5);
            }
        }
        SelectObject(dc, GetStockObject(LTGRAY_BRUSH));
        SetROP2(dc, R2_COPYPEN);
        SelectObject(dc, old_pen);
        DeleteObject(pen);
    }

    char line[64];
    std::snprintf(line, sizeof line, "Most Common Byte Value: %hi", f.most_value);
    SendDlgItemMessageA(dlg, IDC_ANALYSIS_VALUE, WM_SETTEXT, 0, LPARAM(line));
    std::snprintf(line, sizeof line, "Number of Most Common: %lu", (unsigned long)f.most_count);
    SendDlgItemMessageA(dlg, IDC_ANALYSIS_COUNT, WM_SETTEXT, 0, LPARAM(line));
    std::snprintf(line, sizeof line, "Average occurance: %lu", (unsigned long)(f.total / 256));
    SendDlgItemMessageA(dlg, IDC_ANALYSIS_AVERAGE, WM_SETTEXT, 0, LPARAM(line));
    std::snprintf(line, sizeof line, "Total Bytes: %lu", (unsigned long)f.total);
    SendDlgItemMessageA(dlg, IDC_ANALYSIS_TOTAL, WM_SETTEXT, 0, LPARAM(line));

    SelectObject(dc, old_brush);
    ReleaseDC(dlg, dc);
    char title[32 + sizeof szFileTitle];
    std::snprintf(title, sizeof title, "Analysis of %s", szFileTitle);
    SetWindowTextA(dlg, title);
}

}  // namespace

INT_PTR CALLBACK FILEANALYSISBOXPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
        case WM_PAINT: {
            // Validate (and erase) the update region before drawing through
            // GetDC: the default handling that follows our 0 would otherwise
            // erase the background over the histogram just drawn.
            PAINTSTRUCT ps;
            BeginPaint(dlg, &ps);
            EndPaint(dlg, &ps);
            draw(dlg);
            break;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDC_ANALYSIS_OK) EndDialog(dlg, 0);
            break;
    }
    return 0;
}

int iAnalyzeFile(HWND frame) {
    return analyze(frame, "Select the file to analize...", "All Visible (*.*)\0*.*\0", 0,
                   "Lockquill(TM) ERROR: iAnalyzeFile");
}

int iAnalyzeEncryptedFile(HWND frame) {
    return analyze(frame, "Select the Encrypted file to analize...",
                   "All Visible (*.*)\0*.*\0Encrypted Text (*.ENT)\0*.ENT\0Encrypted Data "
                   "(*.END)\0*.END\0Text Files (*.txt)\0*.txt\0",
                   1, "Lockquill(TM) ERROR: iAnalyzeEncryptedFile");
}

void lq_cmd_analyze(HWND frame, int id) {
    if (id == IDM_SECURE_ANALYZE)
        iAnalyzeEncryptedFile(frame);
    else
        iAnalyzeFile(frame);
}
