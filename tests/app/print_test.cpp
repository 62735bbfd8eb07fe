// File, Print for real under Wine to the private scheduler's cups-pdf queue
// (scripts/cups-env): PDFs read back with pdftotext, drawn with pdftoppm;
// skipped, saying why, without a scheduler.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/print.h"
#include "tests/app/gui_harness.h"

namespace {
std::string env(const char* n) { return std::getenv(n) ? std::getenv(n) : ""; }
std::string dos(const std::string& p) { return "Z:" + p; }  // Wine's Z: is the Unix root
std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    return {std::istream_iterator<std::string>(in), {}};
}

// The "Print" window's document name as it is put in.
HHOOK hook;
std::string shown_name;
LRESULT CALLBACK on_send(int code, WPARAM w, LPARAM l) {
    auto* m = reinterpret_cast<CWPSTRUCT*>(l);
    if (m->message == WM_SETTEXT && GetDlgCtrlID(m->hwnd) == IDC_PRINT_DOCUMENT)
        shown_name = reinterpret_cast<const char*>(m->lParam);
    return CallNextHookEx(hook, code, w, l);
}

struct PrintTest : LqGuiTest {
    std::string pdfs = env("LQ_PRINT_PDF_DIR") + "/", out = env("LQ_ARTIFACT_DIR") + "/print/";
    void SetUp() override {
        LqGuiTest::SetUp();
        if (pdfs == "/") GTEST_SKIP() << "no printer (" << env("LQ_PRINT_UNAVAILABLE") << ")";
        hook = SetWindowsHookExA(WH_CALLWNDPROC, on_send, nullptr, GetCurrentThreadId());
        CreateDirectoryA(dos(out).c_str(), nullptr);
    }
    void TearDown() override {
        if (hook) UnhookWindowsHookEx(hook);
        LqGuiTest::TearDown();
    }
    // File, Print: Yes to the security question, the heading typed over the
    // proposed window title, and the printer set-up answered with button.
    void print(const std::string& heading, int button) {
        lq_answer_next(LQ_IDYES);
        std::string title = lq_gui_text(hwndActiveChild).substr(0, 39);
        lq_gui_on_dialog([heading, title](HWND dlg) {
            EXPECT_EQ(lq_gui_item_text(dlg, IDC_ALPHA_TEXT), title);
            SetDlgItemTextA(dlg, IDC_ALPHA_TEXT, heading.c_str());
            lq_gui_click(dlg, IDC_ALPHA_OK);
        });
        if (button) lq_gui_on_dialog([button](HWND dlg) { lq_gui_click(dlg, button); });
        command(IDM_FILE_PRINT);
    }
    // The text of the job's PDF (its size held for 0.1 s) in the queue's folder
    // (one job a run: only this test prints), copied out as name.pdf and drawn
    // as name-N.png; "" when none comes in a minute.
    std::string job_text(const std::string& name) {
        std::string file, p = out + name, txt = p + ".txt";
        for (DWORD i = 0, last = 0; i < 600 && file.empty(); ++i, Sleep(100)) {
            WIN32_FIND_DATAA f;
            HANDLE h = FindFirstFileA(dos(pdfs + "*.pdf").c_str(), &f);
            if (h == INVALID_HANDLE_VALUE) continue;
            if (f.nFileSizeLow && f.nFileSizeLow == last) file = f.cFileName;
            last = f.nFileSizeLow;
            FindClose(h);
        }
        if (file.empty()) return "";
        // Wine cannot wait for a Unix program: the text file comes last.
        DeleteFileA(dos(txt).c_str());
        CloseHandle(lq_gui_start("/bin/sh -c \"cp '" + pdfs + file + "' " + p +
                                 ".pdf && pdftoppm -png -r 60 " + p + ".pdf " + p +
                                 " && pdftotext -layout " + p + ".pdf " + p + ".part && mv " + p +
                                 ".part " + txt + "; rm -f '" + pdfs + file + "'\""));
        for (int k = 0; k < 600 && GetFileAttributesA(dos(txt).c_str()) == ~0u; ++k) Sleep(100);
        std::ifstream in(dos(txt), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(PrintTest, ANoteOfThreePages) {
    const std::string typed = "A heading longer than the 39 characters kept",
                      heading = typed.substr(0, 39);  // what the prompt keeps
    std::string note;
    for (int i = 10; i < 54; ++i) note += "Line " + std::to_string(i) + " of the private note\r\n";
    note += "A paragraph longer than one printed line breaks after its last blank that fits.";
    write_file(path("note.txt"), note);
    SetWindowWord(open_file(path("note.txt")), GWW_ENCRYPTED, 1);
    // A cancelled set-up ends the command.
    print(typed, IDCANCEL);
    EXPECT_EQ(pdPrinter.hDC, nullptr);
    const std::string security = "Lockquill(TM) WARNING: Potential Security Loss/4115\n";
    EXPECT_EQ(lq_gui_captions(), security);
    // File, Printer Setup chooses the printer of every later job.
    lq_gui_on_dialog([](HWND dlg) { lq_gui_click(dlg, IDOK); });
    command(IDM_FILE_PRINTSETUP);
    ASSERT_TRUE(hPrinterDC && hPrinterDC == pdPrinter.hDC);
    // Three pages, each with its heading line; every word of the text in order.
    print(typed, 0);
    EXPECT_EQ(shown_name, heading.substr(0, 30));
    std::istringstream pdf(job_text("note"));
    std::string body;
    int pages = 0;
    for (std::string page, head; std::getline(pdf, page, '\f'); body += page) {
        std::istringstream lines(page);
        std::getline(lines >> std::ws, head);
        EXPECT_EQ(head, heading + "   page " + std::to_string(++pages));
        page.erase(0, page.find(head) + head.size());
    }
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(words(body), words(note));
    EXPECT_EQ(lq_gui_captions(), security);
}
}  // namespace
