#pragma once
// windows.h and the common controls for this folder, without the macros that would rename
// the model's own members (WindowHost::MessageBox, Clock::Yield) in the files that include
// both.
#include <windows.h>
#include <commctrl.h>

#undef MessageBox
#undef Yield
