#include "app/main_window_template.h"

#include <array>

namespace tessvar {
namespace {

using K = ControlKind;
using C = ControlTemplate;
constexpr uint32_t kRO = ctl::kReadOnly;
constexpr uint32_t kHiddenRO = ctl::kHidden | ctl::kReadOnly;

constexpr auto kMainControls = std::to_array<ControlTemplate>({
    // Top row: the tabs and the protocol list.
    C{1107, K::ClickableText, "Файл", {5, 5, 30, 10}, ctl::kCentered},
    C{1110, K::ClickableText, "RS-485", {60, 5, 35, 10}, ctl::kCentered | ctl::kDisabled},
    C{1113, K::ClickableText, "МЭК-101", {113, 5, 60, 10}, ctl::kCentered | ctl::kDisabled},
    C{1112, K::ClickableText, "Номинальные значения", {186, 5, 102, 10},
      ctl::kCentered | ctl::kHidden},
    C{1190, K::Text, "Протокол", {408, 5, 42, 10}},
    C{1141, K::DropDownList, "", {456, 3, 77, 108}},

    // Measurement panels.
    C{1108, K::GroupBox, "DC Канал 1", {6, 30, 108, 114}},
    C{1109, K::GroupBox, "DC Канал 2", {126, 30, 108, 114}},
    C{1027, K::GroupBox, "AC Канал 1", {6, 150, 228, 96}},
    C{1063, K::GroupBox, "AC Канал 2", {240, 150, 228, 96}},
    C{1054, K::GroupBox, "AC + DC Канал 1", {6, 252, 228, 60}},
    C{1069, K::GroupBox, "AC + DC Канал 2", {240, 252, 228, 60}},
    C{1012, K::Text, "U1av", {14, 48, 27, 12}},
    C{1031, K::Edit, "", {60, 48, 45, 12}, kRO},
    C{1065, K::Text, "I1av", {14, 66, 27, 12}},
    C{1066, K::Edit, "", {60, 66, 45, 12}, kRO},
    C{1030, K::Text, "P1dc", {14, 84, 36, 12}},
    C{1033, K::Edit, "", {60, 84, 45, 12}, kRO},
    C{1152, K::Text, "W1dc", {14, 102, 42, 12}},
    C{1153, K::Edit, "", {60, 102, 45, 12}, kRO},
    C{1165, K::Text, "Q1dc", {14, 120, 42, 12}},
    C{1151, K::Edit, "", {60, 120, 45, 12}, kRO},
    C{1013, K::Text, "U2av", {134, 48, 27, 12}},
    C{1040, K::Edit, "", {180, 48, 45, 12}, kRO},
    C{1067, K::Text, "I2av", {134, 66, 27, 12}},
    C{1068, K::Edit, "", {180, 66, 45, 12}, kRO},
    C{1032, K::Text, "P2dc", {134, 84, 36, 12}},
    C{1035, K::Edit, "", {180, 84, 45, 12}, kRO},
    C{1154, K::Text, "W2dc", {134, 101, 42, 12}},
    C{1164, K::Edit, "", {180, 102, 45, 12}, kRO},
    C{1140, K::Text, "Q2dc", {134, 120, 42, 10}},
    C{1146, K::Edit, "", {180, 120, 45, 12}, kRO},
    C{1042, K::Text, "U1", {14, 168, 30, 12}},
    C{1045, K::Edit, "", {60, 168, 45, 12}, kRO},
    C{1034, K::Text, "I1", {14, 186, 30, 12}},
    C{1039, K::Edit, "", {60, 185, 45, 12}, kRO},
    C{1044, K::Text, "P1", {14, 204, 36, 12}},
    C{1047, K::Edit, "", {60, 206, 45, 12}, kRO},
    C{1048, K::Text, "P1q", {14, 222, 36, 12}},
    C{1057, K::Edit, "", {60, 222, 45, 12}, kRO},
    C{1058, K::Text, "P1s", {120, 168, 42, 8}},
    C{1061, K::Edit, "", {180, 168, 45, 12}, kRO},
    C{1166, K::Text, "PF1", {120, 186, 30, 12}},
    C{1168, K::Edit, "", {180, 186, 45, 12}, kRO},
    C{1172, K::Text, "W1", {120, 206, 42, 12}},
    C{1170, K::Edit, "", {180, 206, 45, 12}, kRO},
    C{1174, K::Text, "f1", {120, 223, 36, 12}},
    C{1176, K::Edit, "", {180, 223, 45, 12}, kRO},
    C{1051, K::Text, "U2", {246, 168, 30, 8}},
    C{1052, K::Edit, "", {297, 168, 45, 12}, kRO},
    C{1038, K::Text, "I2", {246, 186, 30, 12}},
    C{1043, K::Edit, "", {297, 186, 45, 12}, kRO},
    C{1046, K::Text, "P2", {246, 206, 36, 12}},
    C{1049, K::Edit, "", {297, 206, 45, 12}, kRO},
    C{1056, K::Text, "P2q", {246, 224, 36, 11}},
    C{1059, K::Edit, "", {297, 223, 45, 12}, kRO},
    C{1060, K::Text, "P2s", {360, 168, 36, 12}},
    C{1062, K::Edit, "", {414, 168, 45, 12}, kRO},
    C{1167, K::Text, "PF2", {360, 186, 30, 12}},
    C{1173, K::Edit, "", {414, 186, 45, 12}, kRO},
    C{1169, K::Text, "W2", {360, 207, 42, 11}},
    C{1171, K::Edit, "", {414, 206, 45, 12}, kRO},
    C{1149, K::Text, "f2", {360, 223, 42, 12}},
    C{1150, K::Edit, "", {414, 223, 45, 12}, kRO},
    C{1177, K::Text, "Uacdc1", {14, 270, 45, 11}},
    C{1180, K::Edit, "", {60, 269, 45, 12}, kRO},
    C{1175, K::Text, "Iacdc1", {14, 288, 45, 12}},
    C{1183, K::Edit, "", {60, 288, 45, 12}, kRO},
    C{1181, K::Text, "Pacdc1", {120, 269, 54, 12}},
    C{1184, K::Edit, "", {180, 269, 45, 12}, kRO},
    C{1188, K::Text, "Wacdc1", {120, 288, 54, 12}},
    C{1187, K::Edit, "", {180, 288, 45, 12}, kRO},
    C{1191, K::Text, "Uacdc2", {246, 270, 42, 11}},
    C{1192, K::Edit, "", {297, 269, 45, 12}, kRO},
    C{1182, K::Text, "Iacdc2", {246, 288, 42, 12}},
    C{1178, K::Edit, "", {297, 288, 45, 12}, kRO},
    C{1186, K::Text, "Pacdc2", {354, 270, 54, 12}},
    C{1185, K::Edit, "", {414, 270, 45, 12}, kRO},
    C{1196, K::Text, "Wacdc2", {354, 288, 54, 12}},
    C{1195, K::Edit, "", {414, 288, 45, 12}, kRO},
    C{1210, K::Text, "ETA", {498, 271, 24, 11}},
    C{1211, K::Edit, "", {481, 288, 45, 12}, kRO},

    // Nominal values.
    C{-1, K::GroupBox, "Канал 1", {256, 31, 60, 114}},
    C{1197, K::Text, "Номинальный ток, А", {262, 42, 54, 18}, ctl::kMultiline},
    C{1148, K::Edit, "", {262, 65, 48, 14}},
    C{1198, K::Text, "Номинальное напряжение, В", {262, 96, 54, 18}, ctl::kMultiline},
    C{1147, K::DropDownList, "", {262, 120, 48, 90}},
    C{-1, K::GroupBox, "Канал 2", {336, 30, 60, 114}},
    C{1216, K::Text, "Номинальный ток, А", {342, 42, 54, 18}, ctl::kMultiline},
    C{1194, K::Edit, "", {342, 64, 48, 14}},
    C{1214, K::Text, "Номинальное напряжение, В", {342, 96, 54, 18}, ctl::kMultiline},
    C{1193, K::DropDownList, "", {342, 120, 48, 90}},

    // IEC controls.
    C{-1, K::Text, "ASDU", {420, 42, 20, 10}},
    C{1098, K::Edit, "", {456, 42, 45, 12}, kRO},
    C{1132, K::RadioButton, "Опрос группы", {414, 102, 60, 10}, ctl::kGroupStart | ctl::kDisabled},
    C{1133, K::RadioButton, "Чтение (102)", {414, 71, 55, 10}, ctl::kDisabled},
    C{1134, K::RadioButton, "Чтение на канальном уровне", {474, 78, 60, 30},
      ctl::kMultiline | ctl::kDisabled},
    C{1127, K::DropDownList, "", {414, 119, 45, 155}, ctl::kDisabled},

    // Right-hand buttons.
    C{1199, K::GroupBox, "Формат данных", {474, 150, 60, 43}},
    C{1114, K::PushLikeCheckBox, "Код", {481, 168, 45, 12}},
    C{1094, K::PushButton, "Старт", {481, 206, 45, 12}},
    C{1097, K::CheckBox, "Сохранить", {480, 224, 50, 10}},
    C{1095, K::PushButton, "Стоп", {481, 240, 45, 12}, ctl::kDisabled},

    // Bottom area.
    C{1201, K::Text, "Период опроса, мс", {6, 326, 70, 10}},
    C{1090, K::Edit, "", {84, 324, 54, 12}},
    C{1118, K::CheckBox, "Время записи", {6, 342, 65, 10}},
    C{1092, K::Edit, "", {84, 342, 54, 12}, kRO},
    C{1204, K::Text, "Осталось", {6, 363, 35, 10}},
    C{1093, K::Edit, "", {84, 360, 54, 12}, kRO},
    C{1202, K::Text, "Время преобразователя", {174, 324, 110, 10}},
    C{1096, K::Edit, "", {294, 324, 55, 12}, kRO},
    C{1203, K::Text, "Время компьютера", {174, 345, 72, 10}},
    C{1218, K::DropDownList, "", {246, 342, 36, 36}, ctl::kSorted},
    C{1099, K::Edit, "", {294, 342, 55, 12}, kRO},
    C{1138, K::PushButton, "Определение запаздывания", {174, 360, 60, 20},
      ctl::kMultiline | ctl::kDisabled},
    C{1139, K::Edit, "", {246, 360, 24, 12}, kRO},
    C{1205, K::Text, "мс", {276, 360, 12, 10}},
    C{1130, K::PushButton, "Синхронизация RTC", {294, 360, 60, 20}, ctl::kMultiline},
    C{1206, K::Text, "Адрес устройства", {384, 322, 66, 12}},
    C{1142, K::Edit, "", {486, 321, 36, 12}},
    C{1143, K::Spin, "", {523, 318, 11, 18}},  // attached to 1142, which it follows
    C{1145, K::Text, "IP адрес", {384, 348, 36, 12}, ctl::kDisabled},
    C{1144, K::IpAddress, "", {438, 348, 96, 12}},
    C{-1, K::Text, "Порт", {438, 374, 24, 12}},
    C{1217, K::DropDownList, "", {480, 372, 54, 78}, ctl::kSorted | ctl::kEditable},
    C{1207, K::Text, "Состояние:", {6, 386, 42, 10}},
    C{1189, K::Text, "Ожидание", {48, 386, 306, 10}},

    // Hidden controls: nothing in the window shows them.
    C{1050, K::DefaultPushButton, "Default", {462, 372, 10, 5}, ctl::kHidden},
    C{1212, K::Text, "Счетчик сбоев", {372, 366, 54, 8}, ctl::kHidden},
    C{1208, K::Text, "0", {426, 366, 30, 8}, ctl::kHidden},
    C{1209, K::PushButton, "RST", {378, 378, 30, 12}, ctl::kHidden},
    C{1213, K::PushButton, "Проверка RTC", {396, 330, 36, 20},
      ctl::kHidden | ctl::kDisabled | ctl::kMultiline},
    C{1215, K::PushButton, "Проверка подсчета энергии и кол-ва электричества", {378, 390, 36, 12},
      ctl::kHidden | ctl::kDisabled},
    C{-1, K::Text, "Isa", {474, 30, 24, 8}, ctl::kHidden},
    C{1005, K::Edit, "", {500, 30, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Iba", {474, 40, 24, 8}, ctl::kHidden},
    C{1007, K::Edit, "", {500, 40, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Usa", {474, 50, 24, 8}, ctl::kHidden},
    C{1009, K::Edit, "", {500, 50, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Pba", {474, 60, 24, 8}, ctl::kHidden},
    C{1015, K::Edit, "", {500, 60, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Psa", {474, 70, 24, 8}, ctl::kHidden},
    C{1017, K::Edit, "", {500, 70, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Qsa", {474, 80, 24, 8}, ctl::kHidden},
    C{1019, K::Edit, "", {500, 80, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Qba", {474, 90, 24, 8}, ctl::kHidden},
    C{1024, K::Edit, "", {500, 90, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Ssa", {474, 100, 24, 8}, ctl::kHidden},
    C{1026, K::Edit, "", {500, 100, 30, 10}, kHiddenRO},
    C{-1, K::Text, "Sba", {474, 110, 24, 8}, ctl::kHidden},
    C{1029, K::Edit, "", {500, 110, 30, 10}, kHiddenRO},
    C{-1, K::Text, "PFsa", {474, 120, 24, 8}, ctl::kHidden},
    C{1041, K::Edit, "", {500, 120, 30, 10}, kHiddenRO},
    C{-1, K::Text, "PFba", {474, 130, 24, 8}, ctl::kHidden},
    C{1053, K::Edit, "", {500, 130, 30, 10}, kHiddenRO},
    C{-1, K::Text, "DPFsa", {474, 140, 24, 8}, ctl::kHidden},
    C{1064, K::Edit, "", {500, 140, 30, 10}, kHiddenRO},
    C{-1, K::Text, "DPFba", {474, 150, 24, 8}, ctl::kHidden},
    C{1129, K::Edit, "", {500, 150, 30, 10}, kHiddenRO},
    C{-1, K::Text, "F", {474, 160, 24, 8}, ctl::kHidden},
    C{1135, K::Edit, "", {500, 160, 30, 10}, kHiddenRO},
});

constexpr DialogTemplate kMainTemplate{kMainWindowTemplateId, kMainWindowCaption, 540, 405,
                                       "MS Sans Serif", 8, dlg::kSystemMenu | dlg::kMinimizeBox,
                                       kMainControls};

constexpr auto kAboutControls = std::to_array<ControlTemplate>({
    C{-1, K::Icon, "", {11, 17, 20, 20}},
    C{-1, K::Text, "Tessvar Version 1.1", {40, 10, 119, 8}},
    C{1, K::DefaultPushButton, "OK", {178, 7, 50, 14}},
});

constexpr DialogTemplate kAbout{kAboutTemplateId, "About Tessvar", 235, 55, "MS Sans Serif", 8,
                                dlg::kSystemMenu, kAboutControls};

constexpr auto kValueFields = std::to_array<ValueFieldBinding>({
    {1012, 1031, 0},  {1065, 1066, 1},  {1030, 1033, 2},  {1152, 1153, 3},  {1165, 1151, 5},
    {1013, 1040, 21}, {1067, 1068, 22}, {1032, 1035, 23}, {1154, 1164, 24}, {1140, 1146, 26},
    {1042, 1045, 7},  {1034, 1039, 8},  {1044, 1047, 9},  {1048, 1057, 10}, {1058, 1061, 11},
    {1166, 1168, 12}, {1172, 1170, 13}, {1174, 1176, 15}, {1051, 1052, 28}, {1038, 1043, 29},
    {1046, 1049, 30}, {1056, 1059, 31}, {1060, 1062, 32}, {1167, 1173, 33}, {1169, 1171, 34},
    {1149, 1150, 36}, {1177, 1180, 16}, {1175, 1183, 17}, {1181, 1184, 18}, {1188, 1187, 19},
    {1191, 1192, 37}, {1182, 1178, 38}, {1186, 1185, 39}, {1196, 1195, 40}, {1210, 1211, 42},
});

constexpr auto kHiddenFields = std::to_array<int>(
    {1005, 1007, 1009, 1015, 1017, 1019, 1024, 1026, 1029, 1041, 1053, 1064, 1129, 1135});

constexpr auto kExchangeOrder = std::to_array<int>({
    1127, 1015, 1017, 1019, 1040, 1031, 1033, 1035, 1043, 1045, 1052, 1047, 1057, 1059,
    1061, 1029, 1026, 1062, 1005, 1007, 1009, 1049, 1064, 1066, 1068, 1039, 1053, 1097,
    1114, 1090, 1092, 1118, 1093, 1096, 1132, 1098, 1139, 1099, 1141, 1142, 1143, 1144,
    1147, 1148, 1041, 1024, 1129, 1135, 1146, 1150, 1153, 1164, 1168, 1173, 1170, 1171,
    1176, 1183, 1178, 1180, 1192, 1184, 1185, 1187, 1195, 1211, 1151, 1217, 1193, 1194,
    1218,
});

constexpr auto kNominalVoltages = std::to_array<std::string_view>({"30", "75", "150", "300", "500"});
constexpr auto kTimeBases = std::to_array<std::string_view>({"GMT", "Local"});

constexpr auto kTemplateItems = std::to_array<TemplateListItems>({
    {1147, kNominalVoltages},
    {1193, kNominalVoltages},
    {1218, kTimeBases},
});

}  // namespace

const DialogTemplate& MainWindowTemplate() { return kMainTemplate; }
const DialogTemplate& AboutTemplate() { return kAbout; }
std::span<const ValueFieldBinding> ValueFieldBindings() { return kValueFields; }
const ValueFieldBinding* FindValueField(int slot) {
  for (const auto& b : kValueFields) {
    if (b.slot == slot) return &b;
  }
  return nullptr;
}
std::span<const int> HiddenValueFields() { return kHiddenFields; }
std::span<const int> MainWindowExchangeOrder() { return kExchangeOrder; }
std::span<const TemplateListItems> MainWindowTemplateItems() { return kTemplateItems; }

}  // namespace tessvar
