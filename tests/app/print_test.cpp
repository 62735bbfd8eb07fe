// File, Print for real under Wine: jobs go to the private scheduler's cups-pdf
// queue (scripts/cups-env); each PDF is read back with pdftotext and drawn
// with pdftoppm.  Skipped, saying why, when there is no scheduler.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "app/print.h"
#include "print/print_text.h"
#include "tests/app/editor_support.h"

namespace {
std::string env(const char* name) {
    const char* e = std::getenv(name);
    return e ? e : "";
}
// A Unix path as the program sees it: Wine's drive Z: is the Unix root.
std::string dos(std::string p) {
    for (char& c : p) c = c == '/' ? '\\' : c;
    return "Z:" + p;
}
// Runs a Unix shell command (Wine starts it on its own and cannot wait for
// it) that makes the file done; returns that file's bytes, "" after 60 s.
std::string run(const std::string& command, const std::string& done) {
    std::string line = "/bin/sh -c \"" + command + " && mv " + done + ".part " + done + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return "";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 600 && GetFileAttributesA(dos(done).c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i)
        Sleep(100);
    std::ifstream in(dos(done), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> v;
    for (std::string w; in >> w;) v.push_back(w);
    return v;
}

// The "Print" window's document name as it is put in; Cancel pressed in the
// window when asked (the click waits in the queue for the abort procedure).
HHOOK hook;
bool press_cancel;
std::string shown_name;
LRESULT CALLBACK on_send(int code, WPARAM w, LPARAM l) {
    auto* m = reinterpret_cast<CWPSTRUCT*>(l);
    if (m->message == WM_SETTEXT && GetDlgCtrlID(m->hwnd) == IDC_PRINT_DOCUMENT) {
        shown_name = reinterpret_cast<const char*>(m->lParam);
        if (press_cancel) PostMessageA(GetDlgItem(GetParent(m->hwnd), 1), BM_CLICK, 0, 0);
    }
    return CallNextHookEx(hook, code, w, l);
}

struct PrintTest : LqGuiTest {
    std::string pdfs = env("LQ_PRINT_PDF_DIR"), out = env("LQ_ARTIFACT_DIR") + "/print";
    // The PDFs of the queue's folder: the size last seen, ~0u once taken.
    std::map<std::string, DWORD> sizes;
    std::map<std::string, DWORD> listing() {
        std::map<std::string, DWORD> m;
        WIN32_FIND_DATAA f;
        HANDLE h = FindFirstFileA(dos(pdfs + "/*.pdf").c_str(), &f);
        for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &f))
            m[f.cFileName] = f.nFileSizeLow;
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        return m;
    }
    void SetUp() override {
        LqGuiTest::SetUp();
        if (pdfs.empty())
            GTEST_SKIP() << "no printer (" << env("LQ_PRINT_UNAVAILABLE")
                         << "): run through scripts/test, which starts a private scheduler";
        pdPrinter = PRINTDLGA{};
        hPrinterDC = nullptr;
        hook = SetWindowsHookExA(WH_CALLWNDPROC, on_send, nullptr, GetCurrentThreadId());
        CreateDirectoryA(dos(out).c_str(), nullptr);
        for (auto& older : listing()) sizes[older.first] = ~0u;
    }
    void TearDown() override {
        if (hook) UnhookWindowsHookEx(hook);
        LqGuiTest::TearDown();
    }
    // File, Print: Yes to the security question, the heading typed into the
    // prompt, OK in the printer set-up when asked.
    void print(const std::string& heading, bool setup, bool cancel) {
        lq_answer_next(LQ_IDYES);
        lq_gui_on_dialog([heading](HWND dlg) {
            SetDlgItemTextA(dlg, IDC_ALPHA_TEXT, heading.c_str());
            lq_gui_click(dlg, IDC_ALPHA_OK);
        });
        if (setup) lq_gui_on_dialog([](HWND dlg) { lq_gui_click(dlg, IDOK); });
        press_cancel = cancel;
        command(IDM_FILE_PRINT);
    }
    // The next PDF that appears whole in the queue's folder ("" after the
    // time), moved out as name.pdf, and its pages as pdftotext reads them.
    std::string next_pdf(int tenths, const std::string& name) {
        for (int i = 0; i < tenths; ++i, Sleep(100)) {
            for (auto& [file, size] : listing()) {
                DWORD& last = sizes.emplace(file, 0).first->second;
                if (last == ~0u) continue;
                if (!size || size != last) {  // still being written
                    last = size;
                    continue;
                }
                last = ~0u;
                std::string pdf = out + "/" + name;
                DeleteFileA(dos(pdf + ".txt").c_str());
                CopyFileA(dos(pdfs + "/" + file).c_str(), dos(pdf + ".pdf").c_str(), FALSE);
                DeleteFileA(dos(pdfs + "/" + file).c_str());
                run("pdftoppm -png -r 60 " + pdf + ".pdf " + pdf + " && touch " + pdf + ".png.part",
                    pdf + ".png");
                return run("pdftotext -layout " + pdf + ".pdf " + pdf + ".txt.part", pdf + ".txt");
            }
        }
        return "";
    }
};

TEST_F(PrintTest, ANoteOfThreePagesThenACancelledJobThenTheNextJob) {
    std::string note, heading = "Thirty-five characters of heading..";
    for (int i = 10; i < 54; ++i) note += "Line " + std::to_string(i) + " of the private note\r\n";
    note += "A paragraph longer than one printed line breaks after its last blank that fits.";
    write_file(path("note.txt"), note);
    HWND child = open_file(path("note.txt"));
    SetWindowWord(child, GWW_ENCRYPTED, 1);

    // No to the security question prints nothing.
    lq_answer_next(LQ_IDNO);
    command(IDM_FILE_PRINT);
    EXPECT_BOX(0, "Lockquill(TM) WARNING: Potential Security Loss",
               "The file you want to print was previously EnCrypted...\r Do you really want to "
               "print this file out ?",
               0x1013);
    EXPECT_STREQ(szPageHeader, "");

    print(heading, true, false);
    EXPECT_EQ(shown_name, heading.substr(0, 30));
    std::string text = next_pdf(600, "note");
    std::vector<std::string> pages, body;
    std::istringstream in(text);
    for (std::string page; std::getline(in, page, '\f');) pages.push_back(page);
    ASSERT_EQ(pages.size(), 3u) << text;
    for (size_t k = 0; k < pages.size(); ++k) {
        std::vector<std::string> w = words(pages[k]);
        std::vector<std::string> head = words(heading + " page " + std::to_string(k + 1));
        ASSERT_GE(w.size(), head.size());
        EXPECT_TRUE(std::equal(head.begin(), head.end(), w.begin())) << pages[k];
        body.insert(body.end(), w.begin() + long(head.size()), w.end());
    }
    EXPECT_EQ(body, words(note));

    // Cancel in the "Print" window: fewer pages or no job; the next job runs
    // whole (its PDF comes after any of the cancelled one).
    print("Cancelled", false, true);
    print("The next job", false, false);
    std::string t;
    while ((t = next_pdf(600, "next")).find("The next job") == std::string::npos) {
        ASSERT_FALSE(t.empty()) << "the next job did not come";
        EXPECT_LT(std::count(t.begin(), t.end(), '\f'), 3) << "the cancelled job printed whole";
    }
    EXPECT_EQ(std::count(t.begin(), t.end(), '\f'), 3);
    EXPECT_EQ(lq_boxes().size(), 4u) << lq_boxes_dump();  // the security questions only
}
}  // namespace
