#pragma once
// The serial settings page (template 132): parity, stop bits and baud rate of the
// connection settings. Every choice is stored at once and handed to the serial line when a
// port is chosen; a new baud rate also raises the poll period to what the line needs for
// the loaded description.
#include <cstddef>
#include <cstdint>

#include "ui/dialog.h"
#include "ui/pages/page_owner.h"

namespace tessvar {

inline constexpr int kSerialPageTemplateId = 132;

namespace idc {
inline constexpr int kParityList = 1087;
inline constexpr int kStopBitsList = 1088;
inline constexpr int kBaudList = 1089;
inline constexpr int kPagePortList = 1023;
}  // namespace idc

const DialogTemplate& SerialPageTemplate();

// The shortest poll period (ms) at which `entries` description entries can be polled at
// `baud` bit/s: twice the transfer time, twice more for the longer ASCII frames, rounded
// down to 50 ms plus 100 ms.
uint32_t MinimumPollPeriod(size_t entries, uint32_t baud, bool ascii);

class CRS485Dlg {
 public:
  explicit CRS485Dlg(PageOwner& owner);
  CRS485Dlg(const CRS485Dlg&) = delete;
  CRS485Dlg& operator=(const CRS485Dlg&) = delete;

  Dialog& GetDialog() { return dialog_; }
  // Page start: fills the lists and selects the current settings.
  void OnInitDialog();

 private:
  void OnParity();
  void OnStopBits();
  void OnBaudRate();
  void Apply();
  void RaisePollPeriod();
  void CloseCheck();

  PageOwner& owner_;
  Dialog dialog_;
};

}  // namespace tessvar
