#include "tests/support/lq_test.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>

#include "fileops/progress.h"

namespace fs = std::filesystem;

namespace {
std::vector<RecordedBox> boxes;
std::deque<int> answers;
std::vector<LqResetFn>& resets() {  // filled by static initialisers: made on first use
    static std::vector<LqResetFn> v;
    return v;
}
int counter;

int recording_box(const char* text, const char* caption, unsigned style) {
    boxes.push_back(RecordedBox{caption ? caption : "", text ? text : "", style});
    if ((style & 0x0F) == LQ_MB_OK) return LQ_IDOK;
    if (answers.empty()) return lq_default_answer(style);
    int a = answers.front();
    answers.pop_front();
    return a;
}
}  // namespace

std::vector<RecordedBox>& lq_boxes() { return boxes; }
void lq_boxes_clear() { boxes.clear(); }
void lq_answer_next(int answer) { answers.push_back(answer); }
void lq_register_reset(LqResetFn fn) { resets().push_back(fn); }

std::string lq_boxes_dump() {
    std::string s = std::to_string(boxes.size()) + " box(es):\n";
    for (auto& b : boxes)
        s += "  [" + b.caption + "] [" + b.text + "] " + std::to_string(b.style) + "\n";
    return s;
}

std::string lq_boxes_text(const std::string& folder) {
    std::string out;
    for (const RecordedBox& b : boxes)
        out += b.caption + "|" + b.text + "|" + std::to_string(b.style) + "\n";
    for (size_t at; !folder.empty() && (at = out.find(folder)) != std::string::npos;)
        out.replace(at, folder.size(), "@");
    boxes.clear();
    return out;
}

void LqTest::SetUp() {
    boxes.clear();
    answers.clear();
    pf_fault_reset();
    lq_set_message_box(recording_box);
    lq_set_progress_ui(nullptr);
    szMessageBuffer[0] = 0;
    iShowProgress(-1);
    for (auto fn : resets()) fn();
    old_cwd_ = fs::current_path().string();
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isalnum((unsigned char)c); }, '_');
    fs::path d;
    do {
        d = fs::temp_directory_path() / "lqtest" /
            (name + "_" + std::to_string(++counter) + "_" + std::to_string(rand()));
    } while (fs::exists(d));
    fs::create_directories(d);
    fs::current_path(dir_ = fs::canonical(d).make_preferred().string());
}

void LqTest::TearDown() {
    pf_fault_reset();
    iShowProgress(-1);
    fs::current_path(old_cwd_);
    std::error_code ec;
    // Read-only files and folders would block the removal.
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& e : fs::recursive_directory_iterator(dir_, ec))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
    lq_set_message_box(nullptr);
}

// Plain concatenation: std::filesystem would re-encode names that are not
// valid UTF-8 (such as the wipe's 0xFF) on Windows.
std::string LqTest::path(const std::string& name) const {
    return dir_ + (dir_.find('\\') != std::string::npos ? '\\' : '/') + name;
}

// Through the platform layer's ANSI calls, so that names mean what they mean
// to the code under test.
void LqTest::write_file(const std::string& p, const std::string& bytes) {
    PfFaultPause pause;
    PfFile f = pf_open(p.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_CREATE_ALWAYS);
    ASSERT_NE(f, PF_INVALID_FILE) << p << " error " << pf_last_error();
    ASSERT_EQ(pf_write(f, bytes.data(), (uint32_t)bytes.size()), (int32_t)bytes.size()) << p;
    pf_close(f);
}

std::string LqTest::read_file(const std::string& p) {
    std::string out;
    PfFaultPause pause;
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    char buf[65536];
    for (int32_t n; f != PF_INVALID_FILE && (n = pf_read(f, buf, sizeof buf)) > 0;)
        out.append(buf, (size_t)n);
    if (f != PF_INVALID_FILE) pf_close(f);
    return out;
}

bool LqTest::exists(const std::string& p) {
    PfFaultPause pause;
    return pf_get_attributes(p.c_str()) != PF_INVALID_ATTRIBUTES;
}

std::vector<std::string> LqTest::list_dir(const std::string& d) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(d)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void LqTest::set_readonly(const std::string& p, bool on) {
    PfFaultPause pause;
    uint32_t a = pf_get_attributes(p.c_str());
    ASSERT_NE(a, PF_INVALID_ATTRIBUTES) << p;
    ASSERT_TRUE(pf_set_attributes(p.c_str(), on ? a | PF_ATTR_READONLY : a & ~PF_ATTR_READONLY));
}

int LqTest::sh(const std::string& cmd) const {
    if (cmd.empty()) return 0;
#ifdef _WIN32
    // The host's shell, found by its Unix name.  Wine does not wait for a host
    // process: it leaves its status beside the folder (which may be read-only).
    typedef char*(CDECL * UnixName)(const WCHAR*);
    static UnixName unix_name = UnixName(
        (void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    std::wstring wdir(dir_.begin(), dir_.end());
    char* u = unix_name ? unix_name(wdir.c_str()) : nullptr;
    if (!u) return -1;
    std::string done = dir_ + ".done", line = "/bin/sh -c \"cd '" + std::string(u) + "' && (" +
                                              cmd + "); echo $? >'" + u + ".done'\"";
    HeapFree(GetProcessHeap(), 0, u);
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, 0, 0, nullptr, nullptr, &si, &pi))
        return -1;
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    for (int i = 0; i < 2000 && !exists(done); ++i) Sleep(5);
    std::string code = exists(done) ? read_file(done) : "-1";
    DeleteFileA(done.c_str());
    return std::atoi(code.c_str());
#else
    return std::system(("cd '" + dir_ + "' && (" + cmd + ")").c_str());
#endif
}

std::string lq_artifact_dir() {
    const char* e = std::getenv("LQ_ARTIFACT_DIR");
    fs::path d = e && *e ? fs::path(e) : fs::temp_directory_path() / "lq-artifacts";
    fs::create_directories(d);
    return d.string();
}

std::string lq_source_dir() {
    const char* e = std::getenv("LQ_SOURCE_DIR");
    return e ? e : ".";
}

std::string lq_random_bytes(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    uint64_t x = 0x9E3779B97F4A7C15ull ^ seed;
    for (char& c : s) x ^= x << 13, x ^= x >> 7, x ^= x << 17, c = char(x >> 24);
    return s;
}

std::string lq_hex(const std::string& bytes) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (unsigned char c : bytes) s += (s.empty() ? "" : " ") + std::string{d[c >> 4], d[c & 15]};
    return s;
}

std::string lq_unhex(const std::string& hex) {
    std::string digits, out;
    for (char c : hex)
        if (isxdigit((unsigned char)c)) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out += char(std::stoi(digits.substr(i, 2), nullptr, 16));
    return out;
}
