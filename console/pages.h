// The settings and web pages. Their contents arrive with their own work; for now each is an
// empty child page so the tabs switch between them.
#pragma once

#include "win32/dialog.h"

namespace tellarix {

class SettingsPage : public tlx::win32::Dialog {};

class WebPage : public tlx::win32::Dialog {};

}  // namespace tellarix
