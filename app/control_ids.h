#pragma once
// Control identifiers of the main window (template 102) that behaviour code names.
#include "acquisition/run_ids.h"

namespace tessvar::idc {

// The controls the run control also addresses are named once, beside it.
using namespace run_ids;

// Tabs.
inline constexpr int kFileTab = 1107;
inline constexpr int kSerialTab = 1110;
inline constexpr int kIecTab = 1113;
inline constexpr int kNominalTab = 1112;

// Bottom area.
inline constexpr int kTimeBaseList = 1218;
inline constexpr int kDelayButton = 1138;
inline constexpr int kDelayField = 1139;
inline constexpr int kClockSync = 1130;
inline constexpr int kDeviceAddressSpin = 1143;
inline constexpr int kIpLabel = 1145;

// Hidden controls.
inline constexpr int kDefaultButton = 1050;
inline constexpr int kResetFailures = 1209;
inline constexpr int kRtcCheck = 1213;
inline constexpr int kEnergyCheck = 1215;

// System menu commands (low 4 bits are the system's own): About, and the two service
// checks whose buttons the layout keeps hidden.
inline constexpr int kAboutCommand = 16;
inline constexpr int kRtcCheckCommand = 32;
inline constexpr int kEnergyCheckCommand = 48;

}  // namespace tessvar::idc
