#pragma once
// The main window's template (102) and the About box's (100): every control with its id,
// kind, caption, position in dialog units and initial state, and the tables that tie the
// value fields to catalogue slots and give the order of the data exchange.
#include <span>
#include <string_view>

#include "ui/dialog_template.h"

namespace tessvar {

inline constexpr int kMainWindowTemplateId = 102;
inline constexpr int kAboutTemplateId = 100;
inline constexpr std::string_view kMainWindowCaption = "Tessvar";
inline constexpr std::string_view kAboutMenuText = "&About Tessvar";
inline constexpr std::string_view kRtcCheckMenuText = "Проверка RTC";
inline constexpr std::string_view kTrafficMenuText = "Обмен";
inline constexpr std::string_view kTrendMenuText = "Тренд";
inline constexpr std::string_view kEnergyCheckMenuText =
    "Проверка подсчета энергии и кол-ва электричества";

const DialogTemplate& MainWindowTemplate();
const DialogTemplate& AboutTemplate();

// A quantity's label and read-only value field, and the catalogue slot it shows.
struct ValueFieldBinding {
  int labelId;
  int fieldId;
  int slot;
};
// The 35 value fields of the measurement panels, in template order.
std::span<const ValueFieldBinding> ValueFieldBindings();
// The value field that shows a catalogue slot, or nullptr.
const ValueFieldBinding* FindValueField(int slot);
// The fourteen hidden read-only fields that are exchanged as strings only.
std::span<const int> HiddenValueFields();
// Every control the data exchange visits, in the order it visits them.
std::span<const int> MainWindowExchangeOrder();

// Items a list holds from its template (filled when the window's controls are created).
struct TemplateListItems {
  int id;
  std::span<const std::string_view> items;
};
std::span<const TemplateListItems> MainWindowTemplateItems();

}  // namespace tessvar
