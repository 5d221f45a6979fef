#include "app/file_page.h"

#include <array>
#include <fstream>
#include <optional>
#include <vector>

#include "app/control_ids.h"
#include "app/krellon_dlg.h"
#include "app/main_window_template.h"
#include "ui/pages/page_owner.h"
#include "ui/window_host.h"

namespace tessvar {
namespace {

using K = ControlKind;
using C = ControlTemplate;

constexpr auto kControls = std::to_array<ControlTemplate>({
    C{1108, K::Text, "Открыть", {4, 4, 40, 10}, ctl::kHidden | ctl::kDisabled},
    C{1109, K::Edit, "", {4, 6, 110, 12}, ctl::kReadOnly},
    C{1113, K::PushButton, "Открыть", {118, 6, 44, 12}},
});

constexpr DialogTemplate kTemplate{kFilePageTemplateId, "", 166, 24, "MS Sans Serif", 8,
                                   dlg::kNoTitle | dlg::kModeless, kControls};

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes;
  std::array<char, 65536> chunk;
  while (bytes.size() < kMaxDescriptionFileBytes) {
    const size_t want = std::min(chunk.size(), kMaxDescriptionFileBytes - bytes.size());
    in.read(chunk.data(), static_cast<std::streamsize>(want));
    const auto got = in.gcount();
    if (got <= 0) break;
    bytes.insert(bytes.end(), chunk.data(), chunk.data() + got);
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

int NominalCurrentBox(int channel) {
  return channel == 2 ? idc::kNominalCurrent2 : idc::kNominalCurrent1;
}
int NominalVoltageList(int channel) {
  return channel == 2 ? idc::kNominalVoltage2 : idc::kNominalVoltage1;
}

}  // namespace

const DialogTemplate& FilePageTemplate() { return kTemplate; }

COpenFile::COpenFile(CKrellonDlg& owner) : owner_(owner), dialog_(kTemplate) {
  dialog_.OnKillFocus(idc::kFileNameBox, [this] { OnNameBoxKillFocus(); });
  dialog_.OnClick(idc::kOpenButton, [this] { OnOpenButton(); });
  dialog_.OnKillFocus(idc::kOpenButton, [this] { OnButtonKillFocus(); });
  dialog_.OnCommand(idc::kLoadCommand, [this] { LoadDescriptionFile(); });
}

void COpenFile::OnInitDialog() {
  fileName_ = owner_.Description().fileName;
  dialog_.SetText(idc::kFileNameBox, fileName_);
  dialog_.SetText(idc::kLoadCommand, "Открыть");
  dialog_.SetText(idc::kOpenButton, "Открыть");
  dialog_.SetFocus(idc::kFileNameBox);
}

void COpenFile::OnNameBoxKillFocus() {
  if (!owner_.IsRegisteredPage(PageKind::File, dialog_) || loading_) return;
  if (dialog_.Focus() == idc::kOpenButton && !LoadDescriptionFile()) return;
  dialog_.EndDialog(2);
  owner_.UnregisterPage(PageKind::File, dialog_);
}

void COpenFile::OnButtonKillFocus() {
  // After a load that failed the button keeps the focus; leaving it for the main window
  // closes the page as leaving the name box does.
  if (!owner_.IsRegisteredPage(PageKind::File, dialog_) || loading_) return;
  if (dialog_.Focus() == idc::kFileNameBox) return;
  if (dialog_.Focus() < 0 && owner_.FocusedOwnerControl() < 0) return;
  dialog_.EndDialog(2);
  owner_.UnregisterPage(PageKind::File, dialog_);
}

void COpenFile::OnOpenButton() {
  // A click that reaches the button without a focus change (keyboard, or a view that
  // reports the click alone) loads as the focus change would.
  if (!owner_.IsRegisteredPage(PageKind::File, dialog_) || loading_) return;
  if (!LoadDescriptionFile()) return;
  dialog_.EndDialog(2);
  owner_.UnregisterPage(PageKind::File, dialog_);
}

bool COpenFile::LoadDescriptionFile() {
  ConnectionSettings& settings = owner_.Settings();
  Dialog& main = owner_.GetDialog();
  settings.descriptionTcpPort = 0;
  loading_ = true;

  const auto path = owner_.Host().OpenFileDialog(FileFilter{"*.dat", "*.dat"});
  if (!path) {
    Recompute(false);
    return true;
  }
  DeviceDescription& description = owner_.Description();
  description.fileName = BaseName(*path);
  fileName_ = description.fileName;
  dialog_.SetText(idc::kFileNameBox, fileName_);

  const auto bytes = ReadFileBytes(*path);
  if (!bytes) {
    owner_.Host().MessageBox(kCannotOpenFile, kCannotOpenCaption, MessageIcon::Exclamation);
    Recompute(false);
    return true;
  }

  DescriptionLoad load =
      ReadDeviceDescription(*bytes, description, LoadOptions{fileName_, settings.displayMode});

  if (load.deviceAddress) settings.deviceAddress = *load.deviceAddress;
  if (load.serial) {
    settings.serial = *load.serial;
    owner_.ConfigureSerial(BuildSerialSettingsText(settings.serial));
  }
  if (load.iecSizes) settings.iecSizes = *load.iecSizes;
  if (load.addressToBox) owner_.SetDeviceAddressBox(settings.deviceAddress);
  if (load.protocolStep) {
    if (load.protocolText) main.SelectByPrefix(idc::kProtocolList, *load.protocolText);
    owner_.ApplyProtocolState();
  }
  if (load.nominals) {
    owner_.Nominals() = NominalPair{load.nominals->voltage, load.nominals->current};
    owner_.RunControl().RefreshValues();
    main.SelectByPrefix(idc::kNominalVoltage1, load.nominals->voltageText);
    main.SetText(idc::kNominalCurrent1, load.nominals->currentText);
  }
  for (const NominalAction& a : load.ratedActions) {
    if (a.kind == NominalAction::Kind::CurrentText) {
      main.SetText(NominalCurrentBox(a.channel), a.text);
      continue;
    }
    const int list = NominalVoltageList(a.channel);
    if (main.SelectByPrefix(list, a.text) < 0) main.SetSelection(list, -1);
    if (a.selectFirstItem) main.SetSelection(list, 0);
  }
  if (load.network) {
    main.SetIpv4(idc::kIpAddress, load.network->ipAddress);
    settings.ipAddress = load.network->ipAddress;
    if (load.network->protocolText)
      main.SelectByPrefix(idc::kProtocolList, *load.network->protocolText);
    owner_.MaskDeviceAddressBox();
    owner_.ApplyProtocolState();
    if (load.network->tcpPortGiven) {
      settings.descriptionTcpPort = load.network->tcpPort;
      owner_.FillPortList();
    }
  }
  description = std::move(load.description);
  description.fileName = fileName_;
  dialog_.SetText(idc::kFileNameBox, fileName_);

  if (load.error) {
    loading_ = false;
    owner_.Host().MessageBox(load.error->message, kMainWindowCaption,
                             MessageIcon::Exclamation);
    return false;
  }
  owner_.Marks() = load.marks ? *load.marks : ComputeAvailabilityMarks(description, owner_.Marks());
  Recompute(true);
  return true;
}

void COpenFile::Recompute(bool marksDone) {
  loading_ = false;
  if (!marksDone)
    owner_.Marks() = ComputeAvailabilityMarks(owner_.Description(), owner_.Marks());
  Dialog& main = owner_.GetDialog();
  main.SetTitle(DescriptionTitle(main.Title(), owner_.Description().fileName));
  owner_.Repaint(false);
  owner_.ShowFields();
}

}  // namespace tessvar
