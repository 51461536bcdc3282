// Finding windows of another process and talking to them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "options.h"

namespace uidriver {

constexpr double kDefaultTimeout = 10.0;
constexpr UINT kAnswerMs = 5000;  // how long a window gets to answer one message

std::string HwndText(HWND hwnd);  // "0x1234a"
HWND ParseHwnd(const std::wstring& text);

std::wstring ClassName(HWND hwnd);
std::wstring WindowText(HWND hwnd);        // asks the window itself (WM_GETTEXT), so edits work too
RECT RectIn(HWND window, HWND reference);  // window rectangle in reference's client coordinates

// Polls test() every 50 ms until it is true or seconds have passed; tries at least once.
bool WaitFor(double seconds, const std::function<bool()>& test);

// Visible top-level window with exactly this title (and class); hidden ones too with any.
HWND FindTopLevel(const std::wstring* title, const std::wstring* cls, bool any);
// All descendants of root in enumeration order.
std::vector<HWND> Descendants(HWND root);

// Whether the command names a window (--hwnd, --title/--class, or a leading HWND value).
bool NamesWindow(const Command& c);
// The window the command names, waiting up to --timeout for it to appear. Descendant selectors:
// --id, --child-class, --child-text (all given must match), --index (0-based among matches,
// visible windows first). Throws Failure when none turns up.
HWND ResolveWindow(const Command& c);

// Sends a message that carries no pointers (or that the system copies across processes).
LRESULT Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// Memory inside the process that owns a window, for messages whose structures it must read.
class RemoteBuffer {
  public:
    RemoteBuffer(HWND owner, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* Address(size_t offset = 0) const { return static_cast<char*>(base_) + offset; }
    void Write(size_t offset, const void* data, size_t size);
    void Read(size_t offset, void* data, size_t size) const;
    // Sends msg; when the window does not answer in time the memory is left to the target,
    // which may still read it later.
    LRESULT Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // Leaves the memory to the target for good (for posted messages that point into it).
    void Abandon() { base_ = nullptr; }

  private:
    HANDLE process_ = nullptr;
    void* base_ = nullptr;
    size_t size_ = 0;
};

}  // namespace uidriver
