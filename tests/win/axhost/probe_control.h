// A tiny ActiveX control living inside the test binary, registered for this process only. It
// records what its container does to it, so the tests can check the container's side.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include <string>
#include <vector>

// With class information (default source interface found through IProvideClassInfo2).
extern const CLSID CLSID_ProbeControl;
// Without: the container must be told the event interface.
extern const CLSID CLSID_ProbeControlNoInfo;
// The probe's outgoing dispinterface; DISPID 1 carries one BSTR, like a booth's print request.
extern const IID DIID_ProbeEvents;

struct ProbeState {
    std::vector<std::string> calls;  // what the container called, in order
    bool ambientUserMode = false;
    LONG ambientBackColor = -1;
    LONG ambientLocale = -1;
    std::wstring ambientFontName;
    CY ambientFontSize{};
    HWND window = nullptr;
    RECT activatedAt{};
    RECT objectRects{};
    int sinks = 0;
    HRESULT lastFireResult = S_OK;

    int IndexOf(const std::string& call) const;
};

// Global bookkeeping shared by every probe in the process.
struct ProbeRegistry {
    static ProbeState& Last();  // the most recently created probe's state
    static int LiveObjects();   // controls and their connection points still alive
    static void Reset();
};

// Fires DISPID 1 with text on the most recent probe, as the control would on a click.
HRESULT ProbeFire(const std::wstring& text);

// Registers the probe classes with COM for this process; revoked on destruction.
class ProbeClassRegistration {
  public:
    ProbeClassRegistration();
    ~ProbeClassRegistration();
    ProbeClassRegistration(const ProbeClassRegistration&) = delete;
    ProbeClassRegistration& operator=(const ProbeClassRegistration&) = delete;

  private:
    DWORD cookies_[2]{};
};
