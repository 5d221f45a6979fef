#pragma once
// The IEC field-size page (template 137): octet counts of the common address, the
// information object address and the cause of transmission, and the station profile. The
// sizes are taken over whenever the focus leaves one of the page's controls; a profile
// as soon as it is picked (and kept for the next start).
#include <cstdint>
#include <string_view>

#include "ui/dialog.h"
#include "ui/pages/page_owner.h"

namespace tessvar {

inline constexpr int kIecPageTemplateId = 137;

namespace idc {
inline constexpr int kCommonAddressSize = 1120;
inline constexpr int kObjectAddressSize = 1121;
inline constexpr int kCauseSize = 1122;
inline constexpr int kPageDeviceAddress = 1119;  // hidden
inline constexpr int kFixedFrameSize = 1124;     // hidden
inline constexpr int kStationProfile = 1125;
inline constexpr int kStationProfileLabel = 1197;
}  // namespace idc

// Shown when a size list has no selection at take-over.
inline constexpr std::string_view kSizeNotChosen = "Не выбран размер поля";
inline constexpr std::string_view kSizeNotChosenCaption = "Ошибка";
inline constexpr std::string_view kStationProfileLabelText = "Профиль станции";

const DialogTemplate& IecPageTemplate();

class IEC_Property {
 public:
  explicit IEC_Property(PageOwner& owner);
  IEC_Property(const IEC_Property&) = delete;
  IEC_Property& operator=(const IEC_Property&) = delete;

  Dialog& GetDialog() { return dialog_; }
  void OnInitDialog();

 private:
  void TakeOver();
  void TakeProfile();

  PageOwner& owner_;
  Dialog dialog_;
  uint32_t deviceAddress_ = 0;  // box 1119
  uint32_t fixedFrame_ = 0;     // box 1124
};

}  // namespace tessvar
