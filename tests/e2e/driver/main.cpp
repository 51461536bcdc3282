// tlx-uidriver: the end-to-end scripts' hands on another program's windows, worked from outside
// its process as an operator would. Small primitives only: what a test expects of the console
// stays in the scripts. Commands, output and exit codes: README.md.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "win32/clock.h"
#include "win32/handles.h"
#include "win32/text.h"

namespace {

using tlx::win32::Utf8FromWide;
using Out = std::string;

using Failure = std::runtime_error;  // what the script's reader is told

constexpr size_t kTextChars = 4096;  // the longest cell or tab text read back
constexpr size_t kRoom = 16384;      // memory taken in the target: an item and its text
constexpr UINT kAnswerMs = 10000;    // how long a window gets to answer one sent message

const std::set<std::wstring> kFlags = {L"--any", L"--visible"};
const std::set<std::wstring> kValued = {
    L"--hwnd",       L"--title",   L"--class",  L"--id",       L"--child-class",
    L"--child-text", L"--timeout", L"--equals", L"--contains", L"--value",
    L"--value-file", L"--exe",     L"--image",  L"--row"};

struct Command {
    std::wstring name;
    std::map<std::wstring, std::wstring> options;  // a flag maps to "", the plain word is ""

    const std::wstring* Get(const wchar_t* option) const {
        auto it = options.find(option);
        return it == options.end() ? nullptr : &it->second;
    }
    long Number(const wchar_t* option = L"") const {
        const std::wstring* text = Get(option);
        wchar_t* end = nullptr;
        const long n = text ? std::wcstol(text->c_str(), &end, 0) : 0;
        if (!text || text->empty() || *end) throw Failure(Utf8FromWide(option) + " wants a number");
        return n;
    }
    double Timeout() const { return Get(L"--timeout") ? _wtof(Get(L"--timeout")->c_str()) : 10.0; }
};

std::vector<Command> ParseCommands(const std::vector<std::wstring>& words) {
    std::vector<Command> commands(1);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        Command& c = commands.back();
        if (word == L"::") {
            commands.emplace_back();
        } else if (c.name.empty()) {
            c.name = word;
        } else if (kFlags.count(word) || (kValued.count(word) && i + 1 < words.size())) {
            c.options[word] = kFlags.count(word) ? L"" : words[++i];
        } else if (word.compare(0, 2, L"--") == 0) {
            throw Failure("unknown option or missing value: " + Utf8FromWide(word));
        } else {
            c.options[L""] = word;
        }
    }
    return commands;
}

// For messages that carry no pointer, or whose texts the system copies across processes.
LRESULT Send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, kAnswerMs, &result))
        throw Failure("the window did not answer");
    return static_cast<LRESULT>(result);
}

// What may open a window or wait for the operator is posted: it must not hold the script.
void Post(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    if (!PostMessageW(w, msg, wp, lp)) throw Failure("cannot post to the window");
}

std::wstring ClassOf(HWND w) {
    wchar_t name[256] = {};
    GetClassNameW(w, name, 256);
    return name;
}

// Asked of the window itself (WM_GETTEXT), so edit boxes answer too.
std::wstring TextOf(HWND w) {
    std::wstring text(static_cast<size_t>(Send(w, WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(static_cast<size_t>(std::max<LRESULT>(
        Send(w, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())), 0)));
    return text;
}

// As TextOf, but a window that went meanwhile (one a page being made had for a moment) has none.
std::wstring TextOrNone(HWND w) {
    try {
        return TextOf(w);
    } catch (const Failure&) {
        if (IsWindow(w)) throw;
        return {};
    }
}

// Polls test() every `every` ms until it holds or `seconds` have passed; tries at least once.
bool WaitFor(double seconds, DWORD every, const std::function<bool()>& test) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (test()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(every);
    }
}

// Memory inside the process that owns a window, for the structures of list view and tab
// messages, which that process reads and fills in.
class RemoteBuffer {
  public:
    explicit RemoteBuffer(HWND owner) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_.Reset(
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
        if (process_)
            base_ = static_cast<char*>(VirtualAllocEx(process_.Get(), nullptr, kRoom,
                                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!base_) throw Failure("cannot reach the memory of the window's process");
    }
    ~RemoteBuffer() {
        if (base_) VirtualFreeEx(process_.Get(), base_, 0, MEM_RELEASE);
    }
    LPARAM At(size_t offset) const { return reinterpret_cast<LPARAM>(base_ + offset); }
    void Copy(bool write, size_t offset, void* local, size_t size) const {
        if (!(write ? WriteProcessMemory(process_.Get(), base_ + offset, local, size, nullptr)
                    : ReadProcessMemory(process_.Get(), base_ + offset, local, size, nullptr)))
            throw Failure("cannot reach the memory of the window's process");
    }

    // Sends msg pointing at a copy of item, with room for its text behind it; copies the text
    // (the control writes it there), or else the item, back. A window that did not answer may
    // still use the memory later: it is left to it.
    template <class T>
    LRESULT Call(HWND w, UINT msg, WPARAM wp, T& item, std::wstring* text = nullptr) {
        if constexpr (requires { item.pszText; }) {
            item.pszText = reinterpret_cast<LPWSTR>(base_ + sizeof item);
            item.cchTextMax = kTextChars;
        }
        Copy(true, 0, &item, sizeof item);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(w, msg, wp, At(0), SMTO_NORMAL, kAnswerMs, &result)) {
            base_ = nullptr;
            throw Failure("the window did not answer");
        }
        if (!text) {
            Copy(false, 0, &item, sizeof item);
        } else {  // LVM_GETITEMTEXTW tells the length, which spares reading the whole room
            text->resize(msg == LVM_GETITEMTEXTW ? std::min<size_t>(result, kTextChars - 1) + 1
                                                 : kTextChars);
            Copy(false, sizeof item, text->data(), text->size() * sizeof(wchar_t));
            text->resize(wcsnlen(text->c_str(), text->size() - 1));
        }
        return static_cast<LRESULT>(result);
    }

    // For posted messages: nobody can tell when the target has read them.
    void LeaveToTarget() { base_ = nullptr; }

  private:
    tlx::win32::UniqueHandle process_;
    char* base_ = nullptr;
};

// The windows inside root, each followed by those inside it; with `shown`, none inside a
// hidden one (nothing there can be visible, and a hundred hidden booths made the walk long).
void AddDescendants(HWND root, std::vector<HWND>& all, bool shown) {
    for (HWND w = GetWindow(root, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (!shown || IsWindowVisible(w)) all.push_back(w), AddDescendants(w, all, shown);
}

// The windows a command names, as they are now; see README.md.
std::vector<HWND> Matches(const Command& c) {
    const std::wstring *title = c.Get(L"--title"), *cls = c.Get(L"--class");
    std::vector<HWND> roots;
    if (c.Get(L"--hwnd")) {
        HWND w = reinterpret_cast<HWND>(static_cast<uintptr_t>(c.Number(L"--hwnd")));
        if (IsWindow(w)) roots.push_back(w);
    } else if (title || cls) {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            wchar_t text[256] = {};
            GetWindowTextW(w, text, 256);  // a top-level title is kept by the system: no message
            if ((c.Get(L"--any") || IsWindowVisible(w)) && (!title || *title == text) &&
                (!cls || *cls == ClassOf(w)))
                roots.push_back(w);
        }
    } else {
        throw Failure("which window? give --hwnd, --title or --class");
    }
    const std::wstring *id = c.Get(L"--id"), *childClass = c.Get(L"--child-class"),
                       *childText = c.Get(L"--child-text");
    if (!id && !childClass && !childText) return roots;
    std::vector<HWND> found;
    for (HWND root : roots) AddDescendants(root, found, c.Get(L"--visible") != nullptr);
    std::erase_if(found, [&](HWND w) {
        return !((!id || GetDlgCtrlID(w) == c.Number(L"--id")) &&
                 (!c.Get(L"--visible") || IsWindowVisible(w)) &&
                 (!childClass || ClassOf(w) == *childClass) &&
                 (!childText || TextOrNone(w) == *childText));
    });
    std::stable_partition(found.begin(), found.end(), [](HWND w) { return IsWindowVisible(w); });
    return found;
}

// The windows named, waiting up to --timeout seconds (default 10) for one.
std::vector<HWND> WaitMatches(const Command& c) {
    std::vector<HWND> found;
    if (!WaitFor(c.Timeout(), 50, [&] { return !(found = Matches(c)).empty(); }))
        throw Failure("no such window");
    return found;
}

// With click, only what the operator could click (BM_CLICK fires even on a disabled button),
// waited for as the operator would: a window being built shows its buttons a moment later.
HWND Resolve(const Command& c, bool click = false) {
    if (!click) return WaitMatches(c).front();
    HWND w = nullptr;
    if (!WaitFor(c.Timeout(), 50, [&] {
            const auto found = Matches(c);
            w = found.empty() ? nullptr : found.front();
            return w && IsWindowEnabled(w) && IsWindowVisible(w);
        }))
        throw Failure(w ? "the window is disabled or hidden" : "no such window");
    return w;
}

// find: per window named, "handle, id, class, rectangle in its top-level window's client
// area, visible (0/1), enabled (0/1), process id, text". Like grep, finding none is a failure.
void Find(const Command& c, Out& out) {
    for (HWND w : WaitMatches(c)) {
        RECT r{};
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, GetAncestor(w, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        char line[1024];
        std::snprintf(line, sizeof line, "%llu\t%d\t%s\t%ld,%ld,%ld,%ld\t%d\t%d\t%lu\t",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w)),
                      GetDlgCtrlID(w), Utf8FromWide(ClassOf(w)).c_str(), r.left, r.top, r.right,
                      r.bottom, IsWindowVisible(w) != 0, IsWindowEnabled(w) != 0, pid);
        out += line + Utf8FromWide(TextOf(w)) + "\n";
    }
}

// wait-gone: until nothing the command names is left, or no process of image --exe runs.
void WaitGone(const Command& c, Out&) {
    const std::wstring* exe = c.Get(L"--exe");
    auto gone = [&] {
        if (!exe) return Matches(c).empty();
        tlx::win32::UniqueFile snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL ok = Process32FirstW(snap.Get(), &entry); ok;
             ok = Process32NextW(snap.Get(), &entry))
            if (_wcsicmp(entry.szExeFile, exe->c_str()) == 0) return false;
        return true;
    };
    if (!WaitFor(c.Timeout(), 50, gone)) throw Failure("still there");
}

// text [--equals X | --contains X]: the window's text; with a condition, once it holds.
void Text(const Command& c, Out& out) {
    const std::wstring *equals = c.Get(L"--equals"), *contains = c.Get(L"--contains");
    HWND w = Resolve(c);
    std::wstring text;
    if (!WaitFor(c.Timeout(), 50, [&] {
            text = TextOf(w);
            return equals ? text == *equals : !contains || text.find(*contains) != text.npos;
        }))
        throw Failure("the text stayed \"" + Utf8FromWide(text) + "\"");
    out += Utf8FromWide(text) + "\n";
}

// set-text: --value, or --value-file (UTF-8, a final line break dropped) for the texts a
// command line under Wine cannot carry.
void SetText(const Command& c, Out&) {
    HWND w = Resolve(c);
    std::wstring value;
    if (const std::wstring* file = c.Get(L"--value-file")) {
        std::ifstream in(std::filesystem::path((*file)[0] == L'/' ? L"Z:" + *file : *file),
                         std::ios::binary);  // Unix paths are on drive Z:
        std::string bytes{std::istreambuf_iterator<char>(in), {}};
        if (!in.is_open()) throw Failure("cannot read " + Utf8FromWide(*file));
        while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
        value = tlx::win32::WideFromUtf8(bytes);
    } else if (const std::wstring* v = c.Get(L"--value")) {
        value = *v;
    } else {
        throw Failure("wants --value or --value-file");
    }
    if (!Send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str())))
        throw Failure("the window refused the text");
}

// dblclick [--row R]: a left double-click in the middle of the window, or of row R's label in
// a list view.
void DoubleClick(const Command& c, Out&) {
    HWND w = Resolve(c, true);
    RECT r{};
    GetClientRect(w, &r);
    if (c.Get(L"--row")) {
        r.left = LVIR_LABEL;
        if (!RemoteBuffer(w).Call(w, LVM_GETITEMRECT, c.Number(L"--row"), r))
            throw Failure("no such row");
    }
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    for (UINT msg : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        Post(w, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
}

// key VK: a key pressed and let go (13 Enter, 27 Escape, 46 Delete).
void Key(const Command& c, Out&) {
    HWND w = Resolve(c);
    const auto vk = static_cast<UINT>(c.Number());
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, 0)) << 16;
    Post(w, WM_KEYDOWN, vk, 1 | scan);
    Post(w, WM_KEYUP, vk, 1 | scan | (LPARAM{3} << 30));
}

// ---- press: keys as a keyboard types them ----
// press W KEYS: once W has the keyboard focus (its top-level window brought to the front), types
// KEYS through the system's input, held in order and let go in reverse ("16+9": Shift+Tab). Unlike
// a posted key, the program reads the keys held with it (GetKeyState), as with a real keyboard.
void Press(const Command& c, Out&) {
    HWND w = Resolve(c, true);
    std::vector<INPUT> keys;
    const std::wstring* words = c.Get(L"");
    for (size_t at = 0; words && at < words->size();) {
        const size_t plus = std::min(words->find(L'+', at), words->size());
        INPUT key{};
        key.type = INPUT_KEYBOARD;
        key.ki.wVk =
            static_cast<WORD>(std::wcstoul(words->substr(at, plus - at).c_str(), nullptr, 0));
        if (!key.ki.wVk) throw Failure("wants keys as numbers joined by +");
        keys.push_back(key);
        at = plus + 1;
    }
    if (keys.empty()) throw Failure("wants keys as numbers joined by +");
    for (size_t i = keys.size(); i-- > 0;) {
        keys.push_back(keys[i]);
        keys.back().ki.dwFlags = KEYEVENTF_KEYUP;
    }
    HWND top = GetAncestor(w, GA_ROOT);
    const DWORD thread = GetWindowThreadProcessId(w, nullptr);
    if (!WaitFor(c.Timeout(), 20, [&] {
            if (GetForegroundWindow() != top) SetForegroundWindow(top);
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            return GetForegroundWindow() == top && GetGUIThreadInfo(thread, &info) &&
                   info.hwndFocus == w;
        }))
        throw Failure("the window did not get the keyboard focus");
    const auto n = static_cast<UINT>(keys.size());
    if (SendInput(n, keys.data(), sizeof(INPUT)) != n) throw Failure("the keys were not taken");
}
// ---- end of press ----

// combo-selected: "index, text" of the selection (-1 and empty when none).
void ComboSelected(const Command& c, Out& out) {
    HWND w = Resolve(c);
    const LRESULT sel = Send(w, CB_GETCURSEL);
    std::wstring text(sel < 0 ? 0 : static_cast<size_t>(Send(w, CB_GETLBTEXTLEN, sel)) + 1, L'\0');
    // The W message: the system copies the text back across processes.
    if (sel >= 0) text.resize(Send(w, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(text.data())));
    out += std::to_string(sel < 0 ? -1 : sel) + "\t" + Utf8FromWide(text) + "\n";
}

int Image(RemoteBuffer& mem, HWND list, int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    return mem.Call(list, LVM_GETITEMW, 0, item) ? item.iImage : -1;
}

// list: per row "row, selected (0/1), picture, column 0, column 1, ...". Owner-data lists ask
// their parent for the texts, as when they draw them.
void List(const Command& c, Out& out) {
    HWND w = Resolve(c);
    RemoteBuffer mem(w);
    const HWND header = reinterpret_cast<HWND>(Send(w, LVM_GETHEADER));
    const int columns = std::max(1, header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT)) : 1);
    const int rows = static_cast<int>(Send(w, LVM_GETITEMCOUNT));
    for (int row = 0; row < rows; ++row) {
        out += std::to_string(row) +
               (Send(w, LVM_GETITEMSTATE, row, LVIS_SELECTED) ? "\t1\t" : "\t0\t") +
               std::to_string(Image(mem, w, row));
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            std::wstring text;
            mem.Call(w, LVM_GETITEMTEXTW, row, item, &text);
            (out += '\t') += Utf8FromWide(text);
        }
        out += "\n";
    }
}

// wait-row R --image I: until row R of a list view shows picture I, looking every 5 ms.
void WaitRow(const Command& c, Out&) {
    HWND w = Resolve(c);
    const long row = c.Number(), image = c.Number(L"--image");
    RemoteBuffer mem(w);
    if (!WaitFor(c.Timeout(), 5, [&] {
            return Send(w, LVM_GETITEMCOUNT) > row && Image(mem, w, static_cast<int>(row)) == image;
        }))
        throw Failure("the row never showed that picture");
}

// list-select R: makes row R the one selected and focused row and scrolls to it. Posted: the
// list tells its parent at once, and the parent's answer may open a window.
void ListSelect(const Command& c, Out&) {
    HWND w = Resolve(c);
    const long row = c.Number();
    LVITEMW items[2] = {};
    items[0].stateMask = LVIS_SELECTED;  // for row -1: every row
    items[1].state = items[1].stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    RemoteBuffer mem(w);
    mem.Copy(true, 0, items, sizeof items);
    Post(w, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), mem.At(0));
    Post(w, LVM_SETITEMSTATE, static_cast<WPARAM>(row), mem.At(sizeof items[0]));
    Post(w, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    mem.LeaveToTarget();
    if (!WaitFor(c.Timeout(), 50, [&] {
            return Send(w, LVM_GETSELECTEDCOUNT) == 1 &&
                   Send(w, LVM_GETITEMSTATE, row, LVIS_SELECTED);
        }))
        throw Failure("the row did not become selected");
}

// tabs: the tab texts, one a line.
void Tabs(const Command& c, Out& out) {
    HWND w = Resolve(c);
    RemoteBuffer mem(w);
    for (LRESULT i = 0, n = Send(w, TCM_GETITEMCOUNT); i < n; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        std::wstring text;
        mem.Call(w, TCM_GETITEMW, static_cast<WPARAM>(i), item, &text);
        out += Utf8FromWide(text) + "\n";
    }
}

// tab-select N: posts TCM_SETCURFOCUS, as a click on the tab does, so the tab control tells its
// parent itself; waits until tab N is current.
void TabSelect(const Command& c, Out&) {
    HWND w = Resolve(c);
    const long tab = c.Number();
    Post(w, TCM_SETCURFOCUS, static_cast<WPARAM>(tab));
    if (!WaitFor(c.Timeout(), 50, [&] { return Send(w, TCM_GETCURSEL) == tab; }))
        throw Failure("the tab did not become current");
}

// Whether w or anything shown inside it waits to be painted.
bool WaitsForPaint(HWND w) {
    if (GetUpdateRect(w, nullptr, FALSE)) return true;
    for (HWND child = GetWindow(w, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE) && WaitsForPaint(child)) return true;
    return false;
}

// idle: until the window's thread is back in its message loop (it answers a sent message) and
// nothing shown in the window waits to be painted; then until it answers once more, past a
// paint that was running while we looked.
void Idle(const Command& c, Out&) {
    HWND w = Resolve(c);
    const auto ms = static_cast<UINT>(c.Timeout() * 1000);
    if (!WaitFor(c.Timeout(), 5, [&] {
            return SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, ms, nullptr) &&
                   !WaitsForPaint(w);
        }))
        throw Failure("the window kept painting");
    Send(w, WM_NULL);
}

// now: "clock UNIX COUNTER": the wall clock in Unix seconds, to set beside the simulator's log,
// and the performance counter in seconds, for intervals.
void Now(const Command&, Out& out) {
    ULARGE_INTEGER t;  // 100 ns since 1601
    GetSystemTimePreciseAsFileTime(reinterpret_cast<FILETIME*>(&t));
    char buf[64];
    std::snprintf(buf, sizeof buf, "clock %.3f %.6f\n",
                  static_cast<double>(t.QuadPart - 116444736000000000ULL) / 1e7,
                  tlx::win32::CounterSeconds());
    out += buf;
}

const std::map<std::wstring, std::function<void(const Command&, Out&)>> kCommands = {
    {L"find", Find},
    {L"wait-gone", WaitGone},
    {L"text", Text},
    {L"set-text", SetText},
    {L"click", [](const Command& c, Out&) { Post(Resolve(c, true), BM_CLICK); }},
    {L"dblclick", DoubleClick},
    {L"key", Key},
    {L"press", Press},
    {L"close", [](const Command& c, Out&) { Post(Resolve(c), WM_CLOSE); }},
    {L"combo-selected", ComboSelected},
    {L"list", List},
    {L"wait-row", WaitRow},
    {L"list-select", ListSelect},
    {L"tabs", Tabs},
    {L"tab-select", TabSelect},
    {L"idle", Idle},
    {L"now", Now},
};

// Runs the commands of one request; what they print goes to stdout, a failure's reason to
// `errors`. Returns the exit status.
int Run(const std::vector<std::wstring>& words, FILE* errors) {
    std::string current = "arguments";
    try {
        for (const Command& c : ParseCommands(words)) {
            current = Utf8FromWide(c.name);
            auto it = kCommands.find(c.name);
            if (it == kCommands.end()) throw Failure("unknown command");
            Out out;
            it->second(c, out);
            std::fwrite(out.data(), 1, out.size(), stdout);
            std::fflush(stdout);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(errors, "tlx-uidriver: %s: %s\n", current.c_str(), e.what());
    }
    return 1;
}

// serve: one request a line on stdin (the words of a command line, tab-separated, UTF-8, with
// tab, line end, carriage return and backslash inside a word written \t \n \r \\); each
// answer is what the run prints, a line end, then "\x04" and the exit status on a line. Saves
// a Wine process start (about 0.15 s of processor) per request.
int Serve() {
    _setmode(_fileno(stdin), _O_BINARY);
    std::string line;
    for (int ch; (ch = std::getchar()) != EOF;) {
        if (ch != '\n') {
            line += static_cast<char>(ch);
            continue;
        }
        std::vector<std::wstring> words;
        std::string word;
        for (size_t i = 0; i <= line.size(); ++i) {
            if (i == line.size() || line[i] == '\t') {
                words.push_back(tlx::win32::WideFromUtf8(word));
                word.clear();
            } else if (line[i] == '\\' && i + 1 < line.size()) {
                const char e = line[++i];
                word += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            } else {
                word += line[i];
            }
        }
        line.clear();
        const int status = Run(words, stdout);
        std::printf("\n\x04%d\n", status);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // '\n', not "\r\n"
    if (argc == 2 && std::wstring(argv[1]) == L"serve") return Serve();
    return Run(std::vector<std::wstring>(argv + 1, argv + argc), stderr);
}
