#include "pages.h"

#include <ole2.h>

namespace tellarix {

// The booth controls and the page components are COM objects hosted on this thread.
CBillsDlg::CBillsDlg() {
    com_ready_ = SUCCEEDED(OleInitialize(nullptr));
}

CBillsDlg::~CBillsDlg() {
    Destroy();
    if (com_ready_) OleUninitialize();
}

void CBillsDlg::NewBill(std::string calls_text) {
    last_calls_text_ = std::move(calls_text);
    ++bills_received_;
}

}  // namespace tellarix
