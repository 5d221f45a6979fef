#pragma once
// Resources linked into tessvar.exe (tessvar.rc.in): the application icon and the manifest
// that selects the current common controls.
#include "win32/windows_api.h"

namespace tessvar::win32 {

inline constexpr int kAppIconId = 1;

// The application icon at the system's large or small size (shared, never destroyed).
HICON AppIcon(bool large);

}  // namespace tessvar::win32
