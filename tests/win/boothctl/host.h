// Helpers of the booth control tests: the library beside the test program, the message pump,
// window pictures, and one booth control hosted in the console's own container.
#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Tellarix_h.h"
#include "console/axhost/control_site.h"
#include "win32/com_ptr.h"
#include "win32/controls.h"
#include "win32/text.h"

namespace tlx::test {

using win32::Bstr;
using win32::ComPtr;

std::wstring LibraryPath();
HRESULT CallExport(const char* name);               // DllRegisterServer and friends
void PumpUntilIdle();                               // paints included
bool PumpUntil(const std::function<bool()>& done);  // false if not done within seconds
std::vector<DWORD> Capture(HWND window);            // the screen's pixels, top row first

class Host {
  public:
    Host();  // creates the control by its class id, as the console does
    ~Host();

    std::unique_ptr<tlx::console::ControlSite> site;
    ComPtr<ICabine> cabine;
    std::vector<std::wstring> texts;      // print requests heard through the container
    std::vector<std::string> complaints;  // "caption|text" of the message boxes, answered OK
    HWND frame = nullptr, window = nullptr;
    win32::Button total, print;
    win32::Window label, group;  // the booth's name and the frame round all
    win32::ListView list;

    void Dial(const wchar_t* dest, const wchar_t* desc = L"", const wchar_t* rate = L"");
    void Finish(short seconds, double cost);
    // Dials, connects and finishes one call; returns its start time text.
    std::string Call(const wchar_t* dest, short seconds, double cost, const wchar_t* rate = L"");
    std::string Row(int row) const;  // "picture|cell|cell|..."
    std::string Shown() const;       // "name|total|print on" (or off)
    void Select(std::initializer_list<int> rows) const;
    void Release(HWND button, int x = 5);  // the mouse let go x pixels into a button

  private:
    HHOOK boxes_;
};

}  // namespace tlx::test
