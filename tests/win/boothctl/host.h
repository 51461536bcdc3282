// Helpers of the booth control tests: the library beside the test program, and one booth control
// hosted in the console's own container inside a frame window.
#pragma once

// windows.h first: the other system headers need its types.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>
// clang-format on

#include <memory>
#include <string>
#include <vector>

#include "Tellarix_h.h"
#include "axhost/control_site.h"

namespace tlx::test {

using tellarix::ComPtr;

std::wstring LibraryPath();
HMODULE Library();                     // loaded once, kept for the whole run
HRESULT CallExport(const char* name);  // DllRegisterServer and friends
void Pump(DWORD ms = 50);              // processes this thread's messages for about ms
std::string Text(HWND h);

struct Bstr {  // a text passed by reference, freed at the end of the scope
    BSTR b;
    explicit Bstr(const wchar_t* s) : b(SysAllocString(s)) {}
    ~Bstr() { SysFreeString(b); }
};

// An event sink of its own on the control; records the print requests and can fail them.
class PrintSink : public IDispatch {
  public:
    explicit PrintSink(HRESULT answer = S_OK) : answer_(answer) {}
    std::vector<std::wstring> texts;
    int bad_calls = 0;  // calls not of the form the console expects
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override;

  private:
    HRESULT answer_;
};

class Host {
  public:
    Host();  // creates the control by its class id, as the console does
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    std::unique_ptr<tellarix::ControlSite> site;
    ComPtr<ICabine> cabine;
    std::vector<std::wstring> texts;  // print requests heard through the container
    int bad_calls = 0;
    HWND frame = nullptr, window = nullptr;                  // the top-level and the control's
    HWND total = nullptr, print = nullptr, label = nullptr;  // its buttons and name label
    HWND list = nullptr, group = nullptr;                    // the calls and the frame round all

    DWORD Advise(IDispatch* sink);  // another sink on the control's connection point
    void Unadvise(DWORD cookie);
    void Dial(const wchar_t* dest, const wchar_t* desc, const wchar_t* rate);
    void Finish(short seconds, double cost);
    void SetName(const wchar_t* name);
    void SetCurrency(const wchar_t* unit);

    int Rows() const { return ListView_GetItemCount(list); }
    std::string Cell(int row, int col) const;
    std::vector<std::string> Row(int row) const;
    int Image(int row) const;
    void Select(std::initializer_list<int> rows) const;
    void Release(HWND button);  // the mouse let go over a button, as a posted click ends
    bool SaveBitmap(const std::wstring& path) const;

  private:
    ComPtr<IConnectionPoint> point_;
};

}  // namespace tlx::test
