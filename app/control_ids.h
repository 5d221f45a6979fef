#pragma once
// Control identifiers of the main window (template 102) that behaviour code names.
namespace tessvar::idc {

// Controls the run reaches through the window's run view.
inline constexpr int kProtocolList = 1141;
inline constexpr int kStart = 1094;
inline constexpr int kStop = 1095;
inline constexpr int kSave = 1097;
inline constexpr int kDisplayMode = 1114;
inline constexpr int kPollPeriod = 1090;
inline constexpr int kLimitTime = 1118;
inline constexpr int kRecordingTime = 1092;
inline constexpr int kRemainingTime = 1093;
inline constexpr int kConverterTime = 1096;
inline constexpr int kComputerTime = 1099;
inline constexpr int kAsduField = 1098;
inline constexpr int kNominalCurrent1 = 1148;
inline constexpr int kNominalVoltage1 = 1147;
inline constexpr int kNominalCurrent2 = 1194;
inline constexpr int kNominalVoltage2 = 1193;
inline constexpr int kDeviceAddress = 1142;
inline constexpr int kIpAddress = 1144;
inline constexpr int kPortList = 1217;
inline constexpr int kGroupList = 1127;
inline constexpr int kModeGroupPoll = 1132;
inline constexpr int kModeRead102 = 1133;
inline constexpr int kModeLinkLevel = 1134;
inline constexpr int kStatusLine = 1189;
inline constexpr int kFailureCount = 1208;
inline constexpr int kFailureLabel = 1212;  // "Счетчик сбоев"

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
// The traffic monitor and the trend windows (opened by the program's view, see KrellonSeams).
inline constexpr int kTrafficCommand = 64;
inline constexpr int kTrendCommand = 80;

}  // namespace tessvar::idc
