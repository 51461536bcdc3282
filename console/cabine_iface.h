// The booth control's interface as the console calls it, in its fixed vtable order, until
// the header generated from the booth control's IDL is available to the console.
#pragma once

// clang-format off
#include <windows.h>
#include <oaidl.h>
// clang-format on

namespace tellarix {

// {4A71734C-E7A6-4D2D-BC2B-6D8C04A80281}
inline constexpr CLSID kClsidTellarixCabine = {
    0x4A71734C, 0xE7A6, 0x4D2D, {0xBC, 0x2B, 0x6D, 0x8C, 0x04, 0xA8, 0x02, 0x81}};
// {D63802BC-9BCD-4E18-96A8-B54628D45549}
inline constexpr IID kIidICabine = {
    0xD63802BC, 0x9BCD, 0x4E18, {0x96, 0xA8, 0xB5, 0x46, 0x28, 0xD4, 0x55, 0x49}};
// {FC77C7BD-A6C3-42B5-82F4-9455FCD93FE9}
inline constexpr IID kIidICabineEvents = {
    0xFC77C7BD, 0xA6C3, 0x42B5, {0x82, 0xF4, 0x94, 0x55, 0xFC, 0xD9, 0x3F, 0xE9}};

inline constexpr DISPID kDispidOnPrintClick = 1;

struct ICabine : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SetCabineName(BSTR* Name) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallDial(BSTR* Destination, BSTR* Description,
                                               BSTR* Rate) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallConnected() = 0;
    virtual HRESULT STDMETHODCALLTYPE CallFinished(short* duration, double* Cost) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallFinishedEx(BSTR* Cost) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallRejected() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrency(BSTR* CurrencyUnit) = 0;
};

}  // namespace tellarix
