// The booth's size on the screen, in pixels. The control lays its children out for it and the
// console's pages are a grid of cells this size, so both read it from here.
#pragma once

namespace tlx::booth {

inline constexpr int kBoothWidth = 270, kBoothHeight = 225;

}  // namespace tlx::booth
