#include "win32/app_resources.h"

namespace tessvar::win32 {

HICON AppIcon(bool large) {
  const int w = GetSystemMetrics(large ? SM_CXICON : SM_CXSMICON);
  const int h = GetSystemMetrics(large ? SM_CYICON : SM_CYSMICON);
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, w,
                                       h, LR_SHARED));
}

}  // namespace tessvar::win32
