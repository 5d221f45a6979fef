#pragma once
// The check window's template (142): the counter fields in their group boxes, the time
// fields, and the hidden ОК/Отмена buttons.
#include <array>

#include "acquisition/energy_check.h"
#include "ui/dialog_template.h"

namespace tessvar {

inline constexpr int kEnergyCheckTemplateId = 142;
inline constexpr std::string_view kEnergyCheckCaption =
    "Проверка подсчета энергии и количества электричества";
inline constexpr std::string_view kEnergyCheckDone =
    "Проверка подсчета энергии и кол-ва электричества завершена";

const DialogTemplate& EnergyCheckTemplate();

// Field ids per counter (Wdc1, Qdc1, Wdc2, Qdc2): initial, final, increment.
struct CounterFieldIds {
  int initial, final, increment;
};
inline constexpr std::array<CounterFieldIds, kCheckedCounters> kCounterFields = {{
    {1216, 1218, 1222},
    {1219, 1221, 1223},
    {1224, 1226, 1230},
    {1227, 1229, 1231},
}};
inline constexpr int kStartTimeField = 1148;
inline constexpr int kEndTimeField = 1149;
inline constexpr int kRemainingField = 1150;

}  // namespace tessvar
