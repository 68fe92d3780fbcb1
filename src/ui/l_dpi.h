// The DPI a window is drawn at and what the program's own measures and
// pictures become at it. Every pixel figure in the program is the one at
// 96 DPI, and stays exactly that there.
#pragma once

#include <windows.h>

namespace zelvaro {

constexpr int kDefaultDpi = 96;

// The window's DPI: its monitor's where the system tells it per window
// (Windows 10 and later), the desktop's otherwise.
int WindowDpi(HWND window);

// A length of pixelsAt96 at 96 DPI, at `dpi`.
int ScaleToDpi(int pixelsAt96, int dpi);

// The program's pictures are drawn at these scales (percent of 96 DPI); the
// one at place n has the 100 % picture's id plus n * kPictureScaleIdStep.
constexpr int kPictureScalesPercent[] = {100, 150, 200};
constexpr int kPictureScaleIdStep = 100;

// The place in kPictureScalesPercent of the scale nearest to `dpi`.
int NearestPictureScale(int dpi);

// The id of the picture `id100` (its 100 % id) at the scale nearest to `dpi`.
int ScaledPictureId(int id100, int dpi);

}  // namespace zelvaro
