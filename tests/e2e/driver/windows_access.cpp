#include "windows_access.h"

#include <algorithm>
#include <cstdio>

namespace uidriver {

std::string HwndText(HWND hwnd) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
    return buf;
}

HWND ParseHwnd(const std::wstring& text) {
    wchar_t* end = nullptr;
    unsigned long long v = std::wcstoull(text.c_str(), &end, 16);
    if (text.empty() || *end != L'\0' || v == 0)
        throw Failure("not a window handle: \"" + Utf8(text) + "\"");
    HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(v));
    if (!IsWindow(hwnd)) throw Failure("no window " + Utf8(text));
    return hwnd;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buf[256];
    int n = GetClassNameW(hwnd, buf, 256);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kAnswerMs, &result))
        throw Failure("window " + HwndText(hwnd) + " did not answer");
    return static_cast<LRESULT>(result);
}

std::wstring WindowText(HWND hwnd) {
    LRESULT len = Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(len) + 1, L'\0');
    LRESULT got = Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, len)));
    return text;
}

RECT RectIn(HWND window, HWND reference) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool WaitFor(double seconds, const std::function<bool()>& test) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    for (;;) {
        if (test()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(50);
    }
}

namespace {

struct TopSearch {
    const std::wstring* title;
    const std::wstring* cls;
    bool any;
    HWND found;
};

BOOL CALLBACK MatchTop(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<TopSearch*>(lp);
    if (!s->any && !IsWindowVisible(hwnd)) return TRUE;
    if (s->cls && ClassName(hwnd) != *s->cls) return TRUE;
    if (s->title) {
        // Top-level titles are kept by the system: no need to disturb the window.
        int len = GetWindowTextLengthW(hwnd);
        std::wstring t(static_cast<size_t>(len) + 1, L'\0');
        t.resize(static_cast<size_t>(std::max(0, GetWindowTextW(hwnd, t.data(), len + 1))));
        if (t != *s->title) return TRUE;
    }
    s->found = hwnd;
    return FALSE;
}

BOOL CALLBACK Collect(HWND hwnd, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
    return TRUE;
}

}  // namespace

HWND FindTopLevel(const std::wstring* title, const std::wstring* cls, bool any) {
    TopSearch s{title, cls, any, nullptr};
    EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> all;
    EnumChildWindows(root, Collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

bool NamesWindow(const Command& c) {
    return c.Has(L"--hwnd") || c.Has(L"--title") || c.Has(L"--class") ||
           (!c.values.empty() && c.values[0].compare(0, 2, L"0x") == 0);
}

HWND ResolveWindow(const Command& c) {
    auto title = c.Get(L"--title");
    auto cls = c.Get(L"--class");
    std::optional<std::wstring> handle = c.Get(L"--hwnd");
    if (!handle && !title && !cls && !c.values.empty() && c.values[0].compare(0, 2, L"0x") == 0)
        handle = c.values[0];
    if (!handle && !title && !cls)
        throw Failure("which window? give --hwnd H, --title T or --class C");

    const bool byId = c.Has(L"--id");
    const long id = c.Int(L"--id", 0);
    auto childClass = c.Get(L"--child-class");
    auto childText = c.Get(L"--child-text");
    const long index = c.Int(L"--index", 0);
    const bool descend = byId || childClass || childText;
    const bool any = c.Flag(L"--any");

    HWND found = nullptr;
    auto attempt = [&]() {
        HWND root = handle ? ParseHwnd(*handle)
                           : FindTopLevel(title ? &*title : nullptr, cls ? &*cls : nullptr, any);
        if (!root) return false;
        if (!descend) {
            found = root;
            return true;
        }
        std::vector<HWND> matches;
        for (HWND w : Descendants(root)) {
            if (byId && GetDlgCtrlID(w) != id) continue;
            if (childClass && ClassName(w) != *childClass) continue;
            if (childText && WindowText(w) != *childText) continue;
            matches.push_back(w);
        }
        std::stable_partition(matches.begin(), matches.end(),
                              [](HWND w) { return IsWindowVisible(w) != FALSE; });
        if (index < 0 || static_cast<size_t>(index) >= matches.size()) return false;
        found = matches[static_cast<size_t>(index)];
        return true;
    };
    if (!WaitFor(c.Seconds(L"--timeout", kDefaultTimeout), attempt))
        throw Failure("no such window (" +
                      std::string(title ? "title \"" + Utf8(*title) + "\"" : "") +
                      (cls ? " class \"" + Utf8(*cls) + "\"" : "") +
                      (byId ? " id " + std::to_string(id) : "") +
                      (childClass ? " child class \"" + Utf8(*childClass) + "\"" : "") +
                      (childText ? " child text \"" + Utf8(*childText) + "\"" : "") + ")");
    return found;
}

RemoteBuffer::RemoteBuffer(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(owner, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process_) throw Failure("cannot open the process of window " + HwndText(owner));
    base_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!base_) {
        CloseHandle(process_);
        throw Failure("cannot allocate memory in the process of window " + HwndText(owner));
    }
}

RemoteBuffer::~RemoteBuffer() {
    if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    CloseHandle(process_);
}

void RemoteBuffer::Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    if (offset + size > size_ ||
        !WriteProcessMemory(process_, Address(offset), data, size, &done) || done != size)
        throw Failure("cannot write into the target process");
}

void RemoteBuffer::Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    if (offset + size > size_ || !ReadProcessMemory(process_, Address(offset), data, size, &done) ||
        done != size)
        throw Failure("cannot read from the target process");
}

LRESULT RemoteBuffer::Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kAnswerMs, &result)) {
        base_ = nullptr;  // the window may still read it: never free it under its feet
        throw Failure("window " + HwndText(hwnd) + " did not answer");
    }
    return static_cast<LRESULT>(result);
}

}  // namespace uidriver
