#pragma once
// A small window with one control of every kind, and a page without title bar.
#include <array>

#include "ui/dialog_template.h"

namespace tessvar::test {

inline constexpr std::array kAllKinds{
    ControlTemplate{10, ControlKind::ClickableText, "Файл", {5, 5, 30, 10}, ctl::kCentered},
    ControlTemplate{11, ControlKind::ClickableText, "RS-485", {40, 5, 35, 10}, ctl::kDisabled},
    ControlTemplate{20, ControlKind::PushButton, "Старт", {200, 10, 45, 12}},
    ControlTemplate{21, ControlKind::DefaultPushButton, "Default", {200, 26, 10, 5}, ctl::kHidden},
    ControlTemplate{22, ControlKind::PushButton, "Определение запаздывания", {200, 40, 60, 20},
                    ctl::kMultiline},
    ControlTemplate{23, ControlKind::PushButton, "RST", {200, 64, 30, 12}, ctl::kHidden},
    ControlTemplate{30, ControlKind::CheckBox, "Сохранить", {200, 80, 50, 10}},
    ControlTemplate{31, ControlKind::PushLikeCheckBox, "Код", {200, 94, 45, 12}, ctl::kChecked},
    ControlTemplate{-1, ControlKind::GroupBox, "Режим", {4, 20, 130, 60}},
    ControlTemplate{40, ControlKind::RadioButton, "Опрос группы", {10, 32, 60, 10},
                    ctl::kGroupStart | ctl::kDisabled},
    ControlTemplate{41, ControlKind::RadioButton, "Чтение (102)", {10, 44, 55, 10}},
    ControlTemplate{42, ControlKind::RadioButton, "Чтение на канальном уровне", {70, 32, 60, 30},
                    ctl::kMultiline | ctl::kChecked},
    ControlTemplate{50, ControlKind::Text, "Состояние:", {6, 186, 42, 10}},
    ControlTemplate{51, ControlKind::Text, "Ожидание", {48, 186, 200, 10}},
    ControlTemplate{60, ControlKind::Edit, "500", {10, 90, 54, 12}},
    ControlTemplate{61, ControlKind::Edit, "00 : 00 : 15", {10, 106, 54, 12}, ctl::kReadOnly},
    ControlTemplate{70, ControlKind::DropDownList, "", {80, 90, 77, 60}},
    ControlTemplate{71, ControlKind::DropDownList, "", {80, 106, 54, 60}, ctl::kSorted},
    ControlTemplate{72, ControlKind::DropDownList, "", {160, 106, 54, 60}, ctl::kEditable},
    ControlTemplate{80, ControlKind::Edit, "1", {10, 130, 36, 12}},
    ControlTemplate{81, ControlKind::Spin, "", {47, 127, 11, 18}},
    ControlTemplate{90, ControlKind::IpAddress, "", {80, 130, 96, 12}},
    ControlTemplate{-1, ControlKind::Icon, "", {270, 150, 20, 20}},
    ControlTemplate{-1, ControlKind::Text, "Isa", {270, 10, 20, 8}, ctl::kHidden},
};

inline constexpr DialogTemplate kAllKindsDialog{
    102, "Tessvar", 300, 200, "MS Sans Serif", 8, dlg::kSystemMenu | dlg::kMinimizeBox,
    kAllKinds};

inline constexpr std::array kPageControls{
    // A label first, as the real pages have: it must not be what takes the focus.
    ControlTemplate{202, ControlKind::Text, "Четность", {5, 0, 30, 5}},
    ControlTemplate{200, ControlKind::Edit, "", {5, 5, 60, 12}},
    ControlTemplate{201, ControlKind::DropDownList, "", {5, 22, 60, 40}},
};

inline constexpr DialogTemplate kPage{131, "", 80, 45, "MS Sans Serif", 8,
                                      dlg::kNoTitle | dlg::kModeless, kPageControls};

}  // namespace tessvar::test
