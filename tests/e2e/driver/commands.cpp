#include "commands.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include "screenshot.h"
#include "windows_access.h"

namespace uidriver {

const char kUsage[] = R"(tlx-uidriver COMMAND [options] [:: COMMAND [options]]...
Window: --hwnd H | H (leading 0x...) | --title T [--class C] [--any]
        then optionally --id N, --child-class C, --child-text T, --index K
        --timeout S (seconds to wait for the window, default 10)
Commands: wait-window, wait-gone [--pid P|--exe NAME], wait-text --equals X|--contains X,
  text, set-text VALUE|--value V|--value-file F, click [--force], check, set-check 0|1|2,
  combo, combo-selected, combo-select N|--text T, list, list-columns,
  list-select ROW [--deselect] [--only], tabs, tab-current, tab-select N [--notify],
  mouse --x X --y Y [--button left|right] [--action click|down|up|double] [--no-deep],
  key --vk N, find [--visible], info, screenshot --out F.bmp [--print-window], close,
  sleep MS, help
)";

namespace {

constexpr size_t kTextChars = 4096;

void Line(std::string& out, const std::wstring& text) {
    out += Utf8(text);
    out += '\n';
}

// Values after the window handle, when the handle was given as a plain word.
std::vector<std::wstring> PlainValues(const Command& c) {
    std::vector<std::wstring> v = c.values;
    if (!c.Has(L"--hwnd") && !c.Has(L"--title") && !c.Has(L"--class") && !v.empty() &&
        v[0].compare(0, 2, L"0x") == 0)
        v.erase(v.begin());
    return v;
}

std::wstring ReadTextFile(const std::wstring& path) {
    FILE* f = _wfopen(WindowsPath(path).c_str(), L"rb");
    if (!f) throw Failure("cannot read " + Utf8(path));
    std::string bytes;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    fclose(f);
    if (!bytes.empty() && bytes.back() == '\n') bytes.pop_back();
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    return Wide(bytes);
}

// The one value a command acts with: --value, --value-file, or the first plain word.
std::wstring TheValue(const Command& c, const char* what) {
    if (auto v = c.Get(L"--value")) return *v;
    if (auto f = c.Get(L"--value-file")) return ReadTextFile(*f);
    auto plain = PlainValues(c);
    if (plain.empty()) throw Failure(std::string("missing ") + what);
    return plain[0];
}

void RefuseDisabled(const Command& c, HWND hwnd) {
    if (c.Flag(L"--force")) return;
    if (!IsWindowEnabled(hwnd)) throw Failure("window " + HwndText(hwnd) + " is disabled");
    if (!IsWindowVisible(hwnd)) throw Failure("window " + HwndText(hwnd) + " is hidden");
}

void Post(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (!PostMessageW(hwnd, msg, wp, lp)) throw Failure("cannot post to " + HwndText(hwnd));
}

// --- waits -----------------------------------------------------------------------------------

void WaitWindow(const Command& c, std::string& out) {
    out += HwndText(ResolveWindow(c)) + "\n";
}

bool ProcessRunning(const std::wstring& exe) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) throw Failure("cannot list processes");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL ok = Process32FirstW(snap, &entry); ok && !found; ok = Process32NextW(snap, &entry))
        found = lstrcmpiW(entry.szExeFile, exe.c_str()) == 0;
    CloseHandle(snap);
    return found;
}

void WaitGone(const Command& c, std::string&) {
    const double timeout = c.Seconds(L"--timeout", kDefaultTimeout);
    if (auto pid = c.Get(L"--pid")) {
        HANDLE process =
            OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(ParseInt(*pid, "--pid")));
        if (!process) return;  // no such process: gone already
        DWORD r = WaitForSingleObject(process, static_cast<DWORD>(timeout * 1000));
        CloseHandle(process);
        if (r != WAIT_OBJECT_0) throw Failure("process " + Utf8(*pid) + " still runs");
        return;
    }
    if (auto exe = c.Get(L"--exe")) {
        if (!WaitFor(timeout, [&] { return !ProcessRunning(*exe); }))
            throw Failure(Utf8(*exe) + " still runs");
        return;
    }
    // A window: by handle, or while any window matching the description remains.
    Command probe = c;
    probe.options[L"--timeout"] = L"0";
    HWND hwnd = nullptr;
    try {
        hwnd = ResolveWindow(probe);
    } catch (const Failure&) {
        return;  // not there at all
    }
    const bool byHandle = c.Has(L"--hwnd") || !c.Has(L"--title");
    auto gone = [&] {
        if (byHandle) return !IsWindow(hwnd);
        try {
            ResolveWindow(probe);
            return false;
        } catch (const Failure&) {
            return true;
        }
    };
    if (!WaitFor(timeout, gone)) throw Failure("window " + HwndText(hwnd) + " is still there");
}

void WaitText(const Command& c, std::string&) {
    auto equals = c.Get(L"--equals");
    auto contains = c.Get(L"--contains");
    if (!equals && !contains) throw Failure("wait-text wants --equals X or --contains X");
    HWND hwnd = ResolveWindow(c);
    std::wstring last;
    auto match = [&] {
        if (!IsWindow(hwnd)) throw Failure("window " + HwndText(hwnd) + " went away");
        last = WindowText(hwnd);
        return equals ? last == *equals : last.find(*contains) != std::wstring::npos;
    };
    if (!WaitFor(c.Seconds(L"--timeout", kDefaultTimeout), match))
        throw Failure("text stayed \"" + Utf8(last) + "\"");
}

void SleepCommand(const Command& c, std::string&) {
    long ms = c.Has(L"--ms") ? c.Int(L"--ms", 0)
                             : (c.values.empty() ? -1 : ParseInt(c.values[0], "sleep"));
    if (ms < 0 || ms > 600000) throw Failure("sleep wants milliseconds (0 to 600000)");
    Sleep(static_cast<DWORD>(ms));
}

// --- texts, buttons, combo boxes -------------------------------------------------------------

void Text(const Command& c, std::string& out) {
    Line(out, WindowText(ResolveWindow(c)));
}

void SetText(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    std::wstring value = TheValue(c, "text");
    if (!Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str())))
        throw Failure("window " + HwndText(hwnd) + " refused the text");
}

void Click(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    RefuseDisabled(c, hwnd);
    // Posted: a click that opens a message box must not hold the driver.
    Post(hwnd, BM_CLICK, 0, 0);
}

const char* CheckName(LRESULT state) {
    return state == BST_CHECKED         ? "checked"
           : state == BST_INDETERMINATE ? "indeterminate"
                                        : "unchecked";
}

void Check(const Command& c, std::string& out) {
    out += CheckName(Send(ResolveWindow(c), BM_GETCHECK, 0, 0));
    out += '\n';
}

void SetCheck(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    RefuseDisabled(c, hwnd);
    const long want = ParseInt(TheValue(c, "check state 0, 1 or 2"), "set-check");
    if (want < 0 || want > 2) throw Failure("set-check wants 0, 1 or 2");
    if (Send(hwnd, BM_GETCHECK, 0, 0) == want) return;
    // As the operator would: click, so the dialog hears about it.
    Post(hwnd, BM_CLICK, 0, 0);
    if (WaitFor(2, [&] { return Send(hwnd, BM_GETCHECK, 0, 0) == want; })) return;
    Send(hwnd, BM_SETCHECK, static_cast<WPARAM>(want), 0);
    if (Send(hwnd, BM_GETCHECK, 0, 0) != want) throw Failure("the box did not take the state");
}

std::vector<std::wstring> ComboItems(HWND hwnd) {
    LRESULT count = Send(hwnd, CB_GETCOUNT, 0, 0);
    if (count < 0) throw Failure("not a combo box: " + HwndText(hwnd));
    std::vector<std::wstring> items;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT len = Send(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len < 0) throw Failure("combo item vanished");
        // The system copies the W text across processes.
        std::wstring text(static_cast<size_t>(len) + 1, L'\0');
        LRESULT got =
            Send(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(got > 0 ? static_cast<size_t>(std::min(got, len)) : 0);
        items.push_back(text);
    }
    return items;
}

void Combo(const Command& c, std::string& out) {
    for (const auto& item : ComboItems(ResolveWindow(c))) Line(out, item);
}

void ComboSelected(const Command& c, std::string& out) {
    HWND hwnd = ResolveWindow(c);
    LRESULT sel = Send(hwnd, CB_GETCURSEL, 0, 0);
    auto items = ComboItems(hwnd);
    std::wstring text = sel >= 0 && static_cast<size_t>(sel) < items.size()
                            ? items[static_cast<size_t>(sel)]
                            : std::wstring();
    out += std::to_string(sel < 0 ? -1 : sel) + "\t" + Utf8(text) + "\n";
}

void ComboSelect(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    RefuseDisabled(c, hwnd);
    auto items = ComboItems(hwnd);
    long index = -1;
    if (auto text = c.Get(L"--text")) {
        for (size_t i = 0; i < items.size() && index < 0; ++i)
            if (items[i] == *text) index = static_cast<long>(i);
        if (index < 0) throw Failure("no item \"" + Utf8(*text) + "\"");
    } else {
        index = ParseInt(TheValue(c, "item index"), "combo-select");
        if (index < 0 || static_cast<size_t>(index) >= items.size())
            throw Failure("no item " + std::to_string(index) + " of " +
                          std::to_string(items.size()));
    }
    Send(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // CB_SETCURSEL tells nobody; the dialog learns of a choice from CBN_SELCHANGE.
    Post(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(hwnd));
}

// --- list views ------------------------------------------------------------------------------

struct RemoteList {
    explicit RemoteList(HWND list) : hwnd(list), mem(list, sizeof(LVITEMW) + kTextChars * 2) {}

    std::wstring CellText(int row, int column) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<LPWSTR>(mem.Address(sizeof(LVITEMW)));
        item.cchTextMax = kTextChars;
        mem.Write(0, &item, sizeof item);
        LRESULT n = mem.Send(hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(mem.Address()));
        return ReadText(n);
    }
    int Image(int row) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        mem.Write(0, &item, sizeof item);
        if (!mem.Send(hwnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(mem.Address()))) return -1;
        mem.Read(0, &item, sizeof item);
        return item.iImage;
    }
    std::wstring ColumnText(int column, bool* exists) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT;
        col.pszText = reinterpret_cast<LPWSTR>(mem.Address(sizeof(LVITEMW)));
        col.cchTextMax = kTextChars;
        mem.Write(0, &col, sizeof col);
        *exists = mem.Send(hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(column),
                           reinterpret_cast<LPARAM>(mem.Address())) != 0;
        return *exists ? ReadText(-1) : std::wstring();
    }
    void SetState(int row, UINT state, UINT mask) {
        LVITEMW item{};
        item.state = state;
        item.stateMask = mask;
        mem.Write(0, &item, sizeof item);
        if (!mem.Send(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(mem.Address())))
            throw Failure("the list refused the selection");
    }
    std::wstring ReadText(LRESULT length) {
        std::wstring text(kTextChars, L'\0');
        mem.Read(sizeof(LVITEMW), text.data(), kTextChars * 2);
        text.resize(length >= 0 ? std::min<size_t>(static_cast<size_t>(length), kTextChars - 1)
                                : text.find(L'\0'));
        return text;
    }

    HWND hwnd;
    RemoteBuffer mem;
};

int ColumnCount(HWND list) {
    HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
    LRESULT n = header ? Send(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    return n > 0 ? static_cast<int>(n) : 1;
}

void List(const Command& c, std::string& out) {
    HWND hwnd = ResolveWindow(c);
    RemoteList list(hwnd);
    const int rows = static_cast<int>(Send(hwnd, LVM_GETITEMCOUNT, 0, 0));
    const int columns = ColumnCount(hwnd);
    for (int row = 0; row < rows; ++row) {
        bool selected =
            Send(hwnd, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED;
        out += std::to_string(row) + "\t" + (selected ? "1" : "0") + "\t" +
               std::to_string(list.Image(row));
        for (int col = 0; col < columns; ++col) {
            out += '\t';
            out += Utf8(list.CellText(row, col));
        }
        out += '\n';
    }
}

void ListColumns(const Command& c, std::string& out) {
    HWND hwnd = ResolveWindow(c);
    RemoteList list(hwnd);
    const int columns = ColumnCount(hwnd);
    for (int col = 0; col < columns; ++col) {
        bool exists = false;
        std::wstring text = list.ColumnText(col, &exists);
        if (exists) Line(out, text);
    }
}

void ListSelect(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    auto plain = PlainValues(c);
    if (plain.empty()) throw Failure("list-select wants a row number");
    const long row = ParseInt(plain[0], "row");
    const long rows = static_cast<long>(Send(hwnd, LVM_GETITEMCOUNT, 0, 0));
    if (row < 0 || row >= rows)
        throw Failure("no row " + std::to_string(row) + " of " + std::to_string(rows));
    RemoteList list(hwnd);
    if (c.Flag(L"--only")) list.SetState(-1, 0, LVIS_SELECTED);
    if (c.Flag(L"--deselect"))
        list.SetState(static_cast<int>(row), 0, LVIS_SELECTED);
    else
        list.SetState(static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED,
                      LVIS_SELECTED | LVIS_FOCUSED);
}

// --- tabs ------------------------------------------------------------------------------------

void Tabs(const Command& c, std::string& out) {
    HWND hwnd = ResolveWindow(c);
    const LRESULT count = Send(hwnd, TCM_GETITEMCOUNT, 0, 0);
    RemoteBuffer mem(hwnd, sizeof(TCITEMW) + kTextChars * 2);
    for (LRESULT i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<LPWSTR>(mem.Address(sizeof(TCITEMW)));
        item.cchTextMax = kTextChars;
        mem.Write(0, &item, sizeof item);
        std::wstring text(kTextChars, L'\0');
        std::vector<wchar_t> none(1, L'\0');
        mem.Write(sizeof(TCITEMW), none.data(), sizeof(wchar_t));
        if (!mem.Send(hwnd, TCM_GETITEMW, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(mem.Address())))
            throw Failure("tab " + std::to_string(i) + " vanished");
        // The control may point pszText at its own copy instead of filling ours.
        mem.Read(0, &item, sizeof item);
        if (item.pszText != reinterpret_cast<LPWSTR>(mem.Address(sizeof(TCITEMW))))
            throw Failure("the tab control did not copy the tab text");
        mem.Read(sizeof(TCITEMW), text.data(), kTextChars * 2);
        text.resize(text.find(L'\0'));
        Line(out, text);
    }
}

void TabCurrent(const Command& c, std::string& out) {
    out += std::to_string(Send(ResolveWindow(c), TCM_GETCURSEL, 0, 0)) + "\n";
}

void TabSelect(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    auto plain = PlainValues(c);
    if (plain.empty()) throw Failure("tab-select wants a tab number");
    const long tab = ParseInt(plain[0], "tab");
    const LRESULT count = Send(hwnd, TCM_GETITEMCOUNT, 0, 0);
    if (tab < 0 || tab >= count)
        throw Failure("no tab " + std::to_string(tab) + " of " + std::to_string(count));
    // The control itself tells its parent (TCN_SELCHANGING/TCN_SELCHANGE), on its own thread.
    Post(hwnd, TCM_SETCURFOCUS, static_cast<WPARAM>(tab), 0);
    if (!WaitFor(5, [&] { return Send(hwnd, TCM_GETCURSEL, 0, 0) == tab; }))
        throw Failure("tab " + std::to_string(tab) + " did not become current");
    if (c.Flag(L"--notify")) {
        // The parent hears TCN_SELCHANGE even when the tab was current already. WM_NOTIFY is
        // not copied across processes, and must be posted, so its NMHDR lives in the target;
        // nobody can tell when it has been read, so the page stays there.
        NMHDR hdr{hwnd, static_cast<UINT_PTR>(GetDlgCtrlID(hwnd)),
                  static_cast<UINT>(TCN_SELCHANGE)};
        RemoteBuffer mem(hwnd, sizeof hdr);
        mem.Write(0, &hdr, sizeof hdr);
        Post(GetParent(hwnd), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(mem.Address()));
        mem.Abandon();
    }
}

// --- mouse, keys, windows --------------------------------------------------------------------

void Mouse(const Command& c, std::string& out) {
    HWND hwnd = ResolveWindow(c);
    POINT pt{static_cast<LONG>(ParseInt(c.Require(L"--x"), "--x")),
             static_cast<LONG>(ParseInt(c.Require(L"--y"), "--y"))};
    if (!c.Flag(L"--no-deep")) {
        // The deepest visible child under the point gets the message, as with a real mouse.
        for (;;) {
            HWND child = ChildWindowFromPointEx(hwnd, pt, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
            if (!child || child == hwnd) break;
            MapWindowPoints(hwnd, child, &pt, 1);
            hwnd = child;
        }
    }
    const std::wstring button = c.Get(L"--button").value_or(L"left");
    UINT down, up, dbl;
    WPARAM key;
    if (button == L"left") {
        down = WM_LBUTTONDOWN, up = WM_LBUTTONUP, dbl = WM_LBUTTONDBLCLK, key = MK_LBUTTON;
    } else if (button == L"right") {
        down = WM_RBUTTONDOWN, up = WM_RBUTTONUP, dbl = WM_RBUTTONDBLCLK, key = MK_RBUTTON;
    } else {
        throw Failure("--button is left or right");
    }
    const std::wstring action = c.Get(L"--action").value_or(L"click");
    const LPARAM at = MAKELPARAM(pt.x, pt.y);
    Post(hwnd, WM_MOUSEMOVE, 0, at);
    if (action == L"down") {
        Post(hwnd, down, key, at);
    } else if (action == L"up") {
        Post(hwnd, up, 0, at);
    } else if (action == L"click" || action == L"double") {
        Post(hwnd, down, key, at);
        Post(hwnd, up, 0, at);
        if (action == L"double") {
            Post(hwnd, dbl, key, at);
            Post(hwnd, up, 0, at);
        }
    } else {
        throw Failure("--action is click, down, up or double");
    }
    out += HwndText(hwnd) + "\t" + std::to_string(pt.x) + "," + std::to_string(pt.y) + "\n";
}

void Key(const Command& c, std::string&) {
    HWND hwnd = ResolveWindow(c);
    const long vk = ParseInt(c.Require(L"--vk"), "--vk");
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    Post(hwnd, WM_KEYDOWN, static_cast<WPARAM>(vk), 1 | (static_cast<LPARAM>(scan) << 16));
    Post(hwnd, WM_KEYUP, static_cast<WPARAM>(vk),
         1 | (static_cast<LPARAM>(scan) << 16) | (LPARAM{3} << 30));
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

void Find(const Command& c, std::string& out) {
    // The window named by --hwnd/--title/--class is the ancestor; the child selectors filter.
    Command root = c;
    for (auto o : {L"--id", L"--child-class", L"--child-text", L"--index"}) root.options.erase(o);
    HWND ancestor = ResolveWindow(root);
    auto childClass = c.Get(L"--child-class");
    auto childText = c.Get(L"--child-text");
    const bool byId = c.Has(L"--id");
    const long id = c.Int(L"--id", 0);
    // Like grep: finding nothing is a failure, after waiting for a match up to --timeout.
    std::string found;
    auto collect = [&] {
        found.clear();
        for (HWND w : Descendants(ancestor)) {
            if (c.Flag(L"--visible") && !IsWindowVisible(w)) continue;
            if (byId && GetDlgCtrlID(w) != id) continue;
            if (childClass && ClassName(w) != *childClass) continue;
            std::wstring text = WindowText(w);
            if (childText && text != *childText) continue;
            found += HwndText(w) + "\t" + std::to_string(GetDlgCtrlID(w)) + "\t" +
                     Utf8(ClassName(w)) + "\t" + RectText(RectIn(w, ancestor)) + "\t" + Utf8(text) +
                     "\n";
        }
        return !found.empty();
    };
    if (!WaitFor(c.Seconds(L"--timeout", kDefaultTimeout), collect))
        throw Failure("no window inside " + HwndText(ancestor) + " matches");
    out += found;
}

void Info(const Command& c, std::string& out) {
    HWND hwnd = ResolveWindow(c);
    RECT r{}, client{};
    GetWindowRect(hwnd, &r);
    GetClientRect(hwnd, &client);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    out += "hwnd=" + HwndText(hwnd) + "\nclass=" + Utf8(ClassName(hwnd)) +
           "\nid=" + std::to_string(GetDlgCtrlID(hwnd)) + "\ntext=" + Utf8(WindowText(hwnd)) +
           "\nvisible=" + (IsWindowVisible(hwnd) ? "1" : "0") +
           "\nenabled=" + (IsWindowEnabled(hwnd) ? "1" : "0") + "\nrect=" + RectText(r) +
           "\nclient=" + RectText(client) + "\nparent=" + HwndText(GetParent(hwnd)) +
           "\npid=" + std::to_string(pid) + "\n";
}

void Screenshot(const Command& c, std::string&) {
    const std::wstring file = WindowsPath(c.Require(L"--out"));
    HWND hwnd = NamesWindow(c) ? ResolveWindow(c) : nullptr;
    SaveScreenshot(hwnd, c.Flag(L"--print-window"), file);
}

void Close(const Command& c, std::string&) {
    Post(ResolveWindow(c), WM_CLOSE, 0, 0);
}

void Help(const Command&, std::string& out) {
    out += kUsage;
}

}  // namespace

void RunCommand(const Command& c, std::string& out) {
    using Handler = void (*)(const Command&, std::string&);
    static const std::map<std::wstring, Handler> table = {
        {L"wait-window", WaitWindow},
        {L"wait-gone", WaitGone},
        {L"wait-text", WaitText},
        {L"sleep", SleepCommand},
        {L"text", Text},
        {L"set-text", SetText},
        {L"click", Click},
        {L"check", Check},
        {L"set-check", SetCheck},
        {L"combo", Combo},
        {L"combo-selected", ComboSelected},
        {L"combo-select", ComboSelect},
        {L"list", List},
        {L"list-columns", ListColumns},
        {L"list-select", ListSelect},
        {L"tabs", Tabs},
        {L"tab-current", TabCurrent},
        {L"tab-select", TabSelect},
        {L"mouse", Mouse},
        {L"key", Key},
        {L"find", Find},
        {L"info", Info},
        {L"screenshot", Screenshot},
        {L"close", Close},
        {L"help", Help},
    };
    auto it = table.find(c.name);
    if (it == table.end()) throw Failure("unknown command (try: tlx-uidriver help)");
    it->second(c, out);
}

}  // namespace uidriver
