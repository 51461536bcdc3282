// A small ActiveX container for one booth control: client and in-place site, frame, and an
// event sink that records every onPrintClick.
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

#include "boothctl_env.h"

namespace tlx::test {

// Records the print requests it hears; can be told to fail them.
class PrintSink : public IDispatch {
  public:
    explicit PrintSink(HRESULT answer = S_OK) : answer_(answer) {}
    std::vector<std::wstring> texts;
    int bad_calls = 0;  // calls whose form was not one positional VT_BSTR for DISPID 1

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
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
    // Creates the control by its class id, or from `factory` when one is given.
    explicit Host(IClassFactory* factory = nullptr);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    ICabine* cabine() const { return cabine_.Get(); }
    IUnknown* control() const { return control_.Get(); }
    PrintSink sink;
    DWORD Advise(IDispatch* extra);  // another sink on the control's connection point
    void Unadvise(DWORD cookie);

    HWND frame = nullptr;   // the container's top-level window
    HWND window = nullptr;  // the control's own window
    HWND total = nullptr;   // total button
    HWND print = nullptr;   // Print button
    HWND label = nullptr;   // name label
    HWND list = nullptr;    // call list
    HWND group = nullptr;   // frame around everything

    // Calls through ICabine, texts given as UTF-16.
    void Dial(const wchar_t* dest, const wchar_t* desc, const wchar_t* rate);
    void Finish(short seconds, double cost);
    void SetName(const wchar_t* name);
    void SetCurrency(const wchar_t* unit);

    int Rows() const;
    std::string Cell(int row, int col) const;
    std::vector<std::string> Row(int row) const;
    int Image(int row) const;
    void Select(std::initializer_list<int> rows) const;
    static std::string Text(HWND h);
    // Releases the mouse over a button the way a posted click would end.
    void Release(HWND button);
    bool SaveBitmap(const std::wstring& path) const;

  private:
    class Site;
    std::unique_ptr<Site> site_;
    Ref<IUnknown> control_;
    Ref<ICabine> cabine_;
    Ref<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace tlx::test
