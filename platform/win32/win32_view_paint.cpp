// Win32View's painting (platform/win32/win32_view.h), what frmLogin draws itself: the logo (Image1
// and the install panel's small copy, from the program's icon at the size shown) and the two
// progress rectangles.
#include <algorithm>
#include <cmath>

#include "platform/win32/resource_ids.h"
#include "platform/win32/win32_view.h"

namespace zentro::win32 {
namespace {

void drawLogo(HINSTANCE instance, const DRAWITEMSTRUCT& item) {
  const RECT& r = item.rcItem;
  const int side = std::min(r.right - r.left, r.bottom - r.top);
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
  auto icon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_ZENTRO), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
  if (!icon) return;
  DrawIconEx(item.hDC, r.left, r.top, icon, side, side, 0, nullptr, DI_NORMAL);
  DestroyIcon(icon);
}

// The filled part of a track `trackWidth` pixels wide for `units` of `fullUnits`: NaN and
// negative widths draw nothing; widths past the full one fill the track.
int filledWidth(double units, double fullUnits, int trackWidth) {
  if (!(units > 0) || fullUnits <= 0 || trackWidth <= 0) return 0;
  const double fraction = std::min(1.0, units / fullUnits);
  return static_cast<int>(std::lround(fraction * trackWidth));
}

void drawBar(const DRAWITEMSTRUCT& item, double units, double fullUnits) {
  RECT r = item.rcItem;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOW));
  FrameRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  InflateRect(&r, -2, -2);
  const int filled = filledWidth(units, fullUnits, r.right - r.left);
  if (filled <= 0) return;
  r.right = r.left + filled;
  FillRect(item.hDC, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
}

}  // namespace

void Win32View::drawItem(const DRAWITEMSTRUCT& item) {
  switch (item.CtlID) {
    case kIdImage1:
    case kIdInstallLogo:
      drawLogo(instance_, item);
      break;
    case kIdTotal:
      drawBar(item, barUnits_[0], kTotalBarWidth);
      break;
    case kIdCurrent:
      drawBar(item, barUnits_[1], kCurrentBarWidth);
      break;
    default:
      break;
  }
}

}  // namespace zentro::win32
