// A tiny ActiveX control inside the test binary, registered for this process only. It records
// what its container does to it, so the tests can check the container's side.
#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include <string>

extern const CLSID CLSID_ProbeControl;
// The probe's outgoing dispinterface; DISPID 1 carries one BSTR, like a booth's print request.
extern const IID DIID_ProbeEvents;

struct ProbeState {
    std::string log;  // what the container called, in order, each followed by a space
    // Ambient user mode, back colour and locale as numbers; the font's name and size.
    LONG ambient[3] = {-1, -1, -1};
    std::wstring fontName;
    LONGLONG fontSize = 0;
    HWND window = nullptr;
    RECT activatedAt{};  // the rectangle the site gave for in-place activation
};

ProbeState& LastProbe();  // the state of the most recently created probe
int LiveProbes();         // probes not yet destroyed
// Fires DISPID 1 with text on the most recent probe, as a booth's Print button would.
HRESULT ProbeFire(const std::wstring& text);

// Registers the probe class with COM for this process; revoked on destruction.
class ProbeClassRegistration {
  public:
    ProbeClassRegistration();
    ~ProbeClassRegistration();
    ProbeClassRegistration(const ProbeClassRegistration&) = delete;
    ProbeClassRegistration& operator=(const ProbeClassRegistration&) = delete;

  private:
    DWORD cookie_ = 0;
};
