#include "app/energy_check_template.h"

namespace tessvar {
namespace {

using K = ControlKind;
using C = ControlTemplate;

// Each row label stands 48 units left of its field.
constexpr auto kControls = std::to_array<ControlTemplate>({
    C{-1, K::GroupBox, "Значение выходного кода", {24, 12, 294, 198}},
    C{-1, K::GroupBox, "Wdc1", {42, 30, 120, 78}},
    C{-1, K::GroupBox, "Qdc1", {42, 120, 120, 78}},
    C{-1, K::GroupBox, "Wdc2", {180, 30, 120, 78}},
    C{-1, K::GroupBox, "Qdc2", {180, 120, 120, 78}},
    C{-1, K::GroupBox, "Время счета", {336, 30, 126, 78}},
    C{-1, K::Text, "Начальное", {48, 50, 46, 8}},
    C{1216, K::Edit, "", {96, 48, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Конечное", {48, 68, 46, 8}},
    C{1218, K::Edit, "", {96, 66, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Приращение", {48, 86, 46, 8}},
    C{1222, K::Edit, "", {96, 84, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Начальное", {48, 140, 46, 8}},
    C{1219, K::Edit, "", {96, 138, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Конечное", {48, 158, 46, 8}},
    C{1221, K::Edit, "", {96, 156, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Приращение", {48, 174, 46, 8}},
    C{1223, K::Edit, "", {96, 172, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Начальное", {186, 50, 46, 8}},
    C{1224, K::Edit, "", {234, 48, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Конечное", {186, 69, 46, 8}},
    C{1226, K::Edit, "", {234, 67, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Приращение", {186, 87, 46, 8}},
    C{1230, K::Edit, "", {234, 85, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Начальное", {186, 140, 46, 8}},
    C{1227, K::Edit, "", {234, 138, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Конечное", {186, 158, 46, 8}},
    C{1229, K::Edit, "", {234, 156, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Приращение", {186, 174, 46, 8}},
    C{1231, K::Edit, "", {234, 172, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Начальное", {342, 51, 46, 8}},
    C{1148, K::Edit, "", {390, 49, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Конечное", {342, 69, 46, 8}},
    C{1149, K::Edit, "", {390, 67, 54, 12}, ctl::kReadOnly},
    C{-1, K::Text, "Осталось", {342, 86, 46, 8}},
    C{1150, K::Edit, "", {390, 84, 54, 12}, ctl::kReadOnly},
    C{1, K::DefaultPushButton, "ОК", {336, 120, 50, 14}, ctl::kHidden},
    C{2, K::PushButton, "Отмена", {396, 120, 50, 14}, ctl::kHidden},
});

constexpr DialogTemplate kTemplate{kEnergyCheckTemplateId, kEnergyCheckCaption, 484, 225,
                                   "MS Shell Dlg", 8, dlg::kSystemMenu | dlg::kModeless,
                                   kControls};

}  // namespace

const DialogTemplate& EnergyCheckTemplate() { return kTemplate; }

}  // namespace tessvar
