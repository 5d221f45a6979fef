#pragma once
// Controls of the main window the run control reads and writes.
namespace tessvar::run_ids {

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

}  // namespace tessvar::run_ids
