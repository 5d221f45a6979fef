#include "ui/pages/iec_property_page.h"

#include <array>
#include <charconv>
#include <optional>
#include <string>

#include "model/connection_settings.h"
#include "ui/data_exchange.h"
#include "ui/pages/page_support.h"
#include "ui/window_host.h"

namespace tessvar {
namespace {

using K = ControlKind;
using C = ControlTemplate;

constexpr auto kControls = std::to_array<ControlTemplate>({
    C{1194, K::Text, "", {4, 6, 150, 10}},
    C{1120, K::DropDownList, "", {160, 4, 40, 40}},
    C{1195, K::Text, "", {4, 24, 150, 10}},
    C{1121, K::DropDownList, "", {160, 22, 40, 50}},
    C{1196, K::Text, "", {4, 42, 150, 10}},
    C{1122, K::DropDownList, "", {160, 40, 40, 40}},
    C{1197, K::Text, "", {4, 60, 90, 10}},
    C{1125, K::DropDownList, "", {100, 58, 100, 40}},
    C{-1, K::Text, "Адрес устройства", {4, 78, 70, 10}, ctl::kHidden},
    C{1119, K::Edit, "", {80, 76, 30, 12}, ctl::kHidden},
    C{-1, K::Text, "Размер фиксированного кадра", {112, 78, 60, 10}, ctl::kHidden},
    C{1124, K::Edit, "", {176, 76, 24, 12}, ctl::kHidden},
});

constexpr DialogTemplate kTemplate{kIecPageTemplateId, "", 208, 76, "MS Sans Serif", 8,
                                   dlg::kNoTitle | dlg::kModeless, kControls};

constexpr auto kTwo = std::to_array<std::string_view>({"1", "2"});
constexpr auto kThree = std::to_array<std::string_view>({"1", "2", "3"});
constexpr auto kPageControls = std::to_array<int>(
    {idc::kPageDeviceAddress, idc::kCommonAddressSize, idc::kObjectAddressSize, idc::kCauseSize,
     idc::kFixedFrameSize, idc::kStationProfile});

std::optional<uint8_t> SelectedSize(const Dialog& d, int id) {
  const std::string text = d.SelectedText(id);
  uint8_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc()) return std::nullopt;
  return v;
}

}  // namespace

const DialogTemplate& IecPageTemplate() { return kTemplate; }

IEC_Property::IEC_Property(PageOwner& owner) : owner_(owner), dialog_(kTemplate) {
  for (int id : kPageControls) dialog_.OnKillFocus(id, [this] { TakeOver(); });
  dialog_.OnSelChange(idc::kStationProfile, [this] { TakeProfile(); });
}

void IEC_Property::OnInitDialog() {
  FillItems(dialog_, idc::kCommonAddressSize, kTwo);
  FillItems(dialog_, idc::kObjectAddressSize, kThree);
  FillItems(dialog_, idc::kCauseSize, kTwo);
  FillItems(dialog_, idc::kStationProfile, kIecProfileTexts);

  const ConnectionSettings& s = owner_.Settings();
  deviceAddress_ = s.deviceAddress;
  dialog_.SelectByPrefix(idc::kCommonAddressSize, std::to_string(s.iecSizes.commonAddress));
  dialog_.SelectByPrefix(idc::kObjectAddressSize, std::to_string(s.iecSizes.objectAddress));
  dialog_.SelectByPrefix(idc::kCauseSize, std::to_string(s.iecSizes.causeOfTransmission));
  fixedFrame_ = s.iecSizes.fixedFrame;
  dialog_.SetSelection(idc::kStationProfile, static_cast<int>(s.iecProfile));

  dialog_.SetText(1196, "Размер поля \"Причина передачи\"");
  dialog_.SetText(1195, "Размер поля \"Адрес объекта информации\"");
  dialog_.SetText(1194, "Размер поля     \"Адрес ASDU\"");
  dialog_.SetText(idc::kStationProfileLabel, kStationProfileLabelText);

  DataExchange show(dialog_, owner_.OwnerHost(), false);
  show.Unsigned(idc::kPageDeviceAddress, deviceAddress_);
  show.Unsigned(idc::kFixedFrameSize, fixedFrame_);
  dialog_.SetFocus(idc::kCommonAddressSize);
}

void IEC_Property::TakeProfile() {
  const int i = dialog_.Selection(idc::kStationProfile);
  if (i < 0 || i >= static_cast<int>(kIecProfileTexts.size())) return;
  ConnectionSettings& s = owner_.Settings();
  const auto picked = static_cast<IecProfile>(i);
  if (s.iecProfile == picked) return;
  s.iecProfile = picked;
  owner_.StoreIecProfile();
}

void IEC_Property::TakeOver() {
  if (owner_.IsRegisteredPage(PageKind::Iec, dialog_)) {
    DataExchange collect(dialog_, owner_.OwnerHost(), true);
    collect.Unsigned(idc::kPageDeviceAddress, deviceAddress_);
    collect.Unsigned(idc::kFixedFrameSize, fixedFrame_);
    if (collect.Failed()) return;

    ConnectionSettings& s = owner_.Settings();
    s.deviceAddress = static_cast<uint16_t>(deviceAddress_);
    const std::array<std::pair<int, uint8_t*>, 3> sizes{{
        {idc::kCommonAddressSize, &s.iecSizes.commonAddress},
        {idc::kObjectAddressSize, &s.iecSizes.objectAddress},
        {idc::kCauseSize, &s.iecSizes.causeOfTransmission},
    }};
    for (auto [id, member] : sizes) {
      auto size = SelectedSize(dialog_, id);
      if (!size) {
        // A size a description set that the list does not offer: the later sizes stay, the
        // page stays open for a choice.
        owner_.OwnerHost().MessageBox(kSizeNotChosen, kSizeNotChosenCaption,
                                      MessageIcon::Exclamation);
        return;
      }
      *member = *size;
    }
    s.iecSizes.fixedFrame = static_cast<uint8_t>(fixedFrame_);

    const int focus = dialog_.Focus();
    bool inPage = false;
    for (int id : kPageControls) inPage = inPage || focus == id;
    if (!inPage && (focus >= 0 || owner_.FocusedOwnerControl() >= 0)) {
      dialog_.EndDialog(2);
      owner_.UnregisterPage(PageKind::Iec, dialog_);
    }
  }
  owner_.MaskDeviceAddressBox();
}

}  // namespace tessvar
