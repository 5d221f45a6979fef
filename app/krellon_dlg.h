#pragma once
// The main window, CKrellonDlg: owns the settings, the catalogue, the availability marks,
// the loaded description and the run control, and carries the window's behaviour on the
// dialog model of template 102.
//
// For the acquisition (CRunControl) and the pages the window lends:
//   GetDialog(), Host(), GetClock()        the dialog model, the window host and the clock
//   Settings(), Description(), Marks(),
//   Catalogue()                            the shared data of one window
//   Collect(), ShowFields()                the data exchange: controls -> members and back
//   ApplyProtocolState(), FillPortList(),
//   ApplyDeviceAddressRule()               the per-protocol control state and its helpers
//   RefreshColors()                        what a repaint draws in colour: the status line
//                                          red while the link is in trouble, value fields
//                                          black where their quantity is unavailable
// A repaint that the run control requests through its WindowHost refreshes the colours
// first, and so does every change of the status line or of a value field's text.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/run_control.h"
#include "app/control_ids.h"
#include "app/dialog_run_view.h"
#include "app/repaint_host.h"
#include "model/catalogue.h"
#include "model/connection_settings.h"
#include "model/device_description.h"
#include "monitor/traffic_capture.h"
#include "ui/dialog.h"
#include "ui/pages/page_owner.h"

namespace tessvar {

class Clock;
class DataExchange;
class SettingsStore;
class SerialPort;
class TcpSocket;
class COpenFile;
class CRS485Dlg;
class IEC_Property;
class Check_W_C;

// What differs between the window program, the command-line front end and the tests.
struct KrellonSeams {
  // Names of the serial ports present, in the order the system lists them.
  std::function<std::vector<std::string>()> enumerateSerialPorts;
  std::function<std::unique_ptr<SerialPort>()> makeSerialPort;
  std::function<std::unique_ptr<TcpSocket>()> makeTcpSocket;
  // Hands a settings text to the serial line outside a run (a closed port ignores it).
  std::function<void(std::string_view settingsText)> configureSerial;
  // The engine of a protocol; the built-in ones when empty.
  std::function<std::unique_ptr<LinkEngine>(ProtocolKind, const EngineContext&)> makeEngine;
  // Why a serial port will not open, for the message on "Старт"; empty: "Не могу открыть …".
  std::function<std::string(std::string_view portText)> serialPortProblem;
  // Open (or raise) the "Обмен" and "Тренд" windows; absent where the program has none, and
  // then the window menu has no item for them.
  std::function<void()> openTrafficMonitor;
  std::function<void()> openTrend;
};

struct SystemMenuItem {
  int command;  // 0 for a separator
  std::string text;
};

// The pair of nominal values the presentation scales with (100 V and 5 A at start-up).
struct NominalPair {
  double voltage = 100;
  double current = 5;
};

inline constexpr int kApplicationIcon = 128;

class CKrellonDlg : public PageOwner {
 public:
  CKrellonDlg(WindowHost& host, Clock& clock, SettingsStore& store, KrellonSeams seams);
  ~CKrellonDlg() override;
  CKrellonDlg(const CKrellonDlg&) = delete;
  CKrellonDlg& operator=(const CKrellonDlg&) = delete;

  // Window initialisation: lists, defaults, catalogue, ports, the stored port. True.
  bool OnInitDialog();
  // Window destruction: a run still active is stopped first, then the run control ends.
  // Runs once; the destructor calls it when nobody did.
  void OnDestroy();

  // --- what the window lends
  Dialog& GetDialog() { return dialog_; }
  const Dialog& GetDialog() const { return dialog_; }
  WindowHost& Host() { return host_; }
  Clock& GetClock() { return clock_; }
  ConnectionSettings& Settings() override { return settings_; }
  DeviceDescription& Description() { return description_; }
  AvailabilityMarks& Marks() { return marks_; }
  const MeasurementCatalogue& Catalogue() const { return catalogue_; }
  CRunControl& RunControl() { return *run_; }
  // Every frame of the runs, and the counters since "Старт" (the traffic monitor's data).
  monitor::TrafficCapture& Traffic() { return *traffic_; }
  const RunState& Run() const { return run_->State(); }
  NominalPair& Nominals() { return nominals_; }
  const std::vector<std::string>& SerialPortList() const { return serialPorts_; }
  const std::vector<SystemMenuItem>& SystemMenu() const { return systemMenu_; }
  // The member a text field is exchanged with, nullptr for other controls.
  std::string* TextMember(int controlId);

  // --- the data exchange
  // Controls -> members; false when an unsigned field was refused (the members exchanged
  // before it keep their new values).
  bool Collect();
  // Members -> controls.
  void ShowFields();

  // --- behaviour other parts call
  void ApplyProtocolState();
  void FillPortList();
  // The device-address rule: collect, cut the box's address for the protocol, show.
  void ApplyDeviceAddressRule();
  // The cut alone: the address box is read, the address kept to what the selected protocol
  // carries and, where that is 8 bits, written back into the box.
  void MaskDeviceAddressBox() override;
  // The address box, its member and the spin position show `address`.
  void SetDeviceAddressBox(uint32_t address);
  ProtocolKind SelectedProtocol() const;
  void RefreshColors();
  void ConfigureSerial(std::string_view settingsText) override;
  // Repaints the window: colours first, then the host's repaint.
  void Repaint(bool erase);
  // Runs a system-menu command: the About command opens the About box.
  void OnSysCommand(int command);
  Dialog* AboutBox() { return about_ ? about_.get() : nullptr; }
  // "Проверка подсчета энергии и кол-ва электричества" (app/energy_check_launch.cpp): ends
  // the run, opens a further check window centred on this one, restarts at 200 ms.
  Check_W_C& OnEnergyCheck();

  // --- pages
  COpenFile* FilePage() { return filePage_.get(); }
  CRS485Dlg* SerialPage() { return serialPage_.get(); }
  IEC_Property* IecPage() { return iecPage_.get(); }

  // PageOwner
  Dialog& OwnerDialog() override { return dialog_; }
  WindowHost& OwnerHost() override { return host_; }
  bool IsRegisteredPage(PageKind kind, const Dialog& page) const override;
  void UnregisterPage(PageKind kind, const Dialog& page) override;
  int FocusedOwnerControl() const override { return dialog_.Focus(); }
  std::vector<std::string> EnumerateSerialPorts() override;
  size_t DescriptionEntryCount() const override { return description_.entries.size(); }
  int SelectedProtocolIndex() const override { return dialog_.Selection(idc::kProtocolList); }
  void ShowPollPeriod() override;
  void StoreIecProfile() override;

 private:
  // The steps of OnInitDialog, in their order.
  void FillLists();
  void ShowConnectionDefaults();
  void ShowNominalDefaults();
  void ShowPollDefaults();
  void SetCaptions();
  void ShowModeDefaults();
  void ResetDescriptionState();
  void ListSerialPorts();
  void ResetSerialLine();

  class ColourObserver;

  void BindHandlers();
  void DoDataExchange(DataExchange& dx);
  void ReadStoredPort();

  // Handlers of the window's controls and events.
  void OnProtocolChange();
  void OnPortChoice();
  // A port typed into the "Порт" list: used for this session, never stored.
  void OnPortTyped();
  // Selects the port text in the list, or shows it as typed when the list lacks it.
  void SelectPortText();
  void OnTimeBaseChoice();
  void OnRecordingTimeToggle();
  void OnEnter();
  void OnCancelOrClose();
  void OnFileTab();
  void OnSerialTab();
  void OnIecTab();
  void ShowPage(int x, int y, Dialog& page);
  void ReleaseClosedPages();
  void RefreshColor(int controlId);
  void RefreshStatusColor();
  void RefreshFieldColor(int fieldId, int slot);
  // Whether a quantity is drawn as available: its mark, less the groups not interrogated.
  bool SlotShown(int slot) const;

  WindowHost& host_;
  RepaintHost runHost_;
  Clock& clock_;
  SettingsStore& store_;
  KrellonSeams seams_;
  Dialog dialog_;

  ConnectionSettings settings_;
  DeviceDescription description_;
  AvailabilityMarks marks_;
  MeasurementCatalogue catalogue_;
  NominalPair nominals_;
  std::vector<std::string> serialPorts_;
  std::vector<SystemMenuItem> systemMenu_;

  // Members of the data exchange (the others live in the settings).
  std::map<int, std::string> texts_;
  bool save_ = false;
  bool limitTime_ = false;
  uint32_t deviceAddressField_ = 1;

  std::unique_ptr<DialogRunView> runView_;
  std::unique_ptr<monitor::TrafficCapture> traffic_;  // outlives the run that feeds it
  std::unique_ptr<CRunControl> run_;
  std::unique_ptr<ColourObserver> colourObserver_;
  std::unique_ptr<Dialog> about_;
  std::vector<std::unique_ptr<Check_W_C>> energyChecks_;
  std::unique_ptr<COpenFile> filePage_, closedFilePage_;
  std::unique_ptr<CRS485Dlg> serialPage_, closedSerialPage_;
  std::unique_ptr<IEC_Property> iecPage_, closedIecPage_;
  bool destroyed_ = false;
  bool statusRefreshPosted_ = false;
  // Closures posted to the host check this before they touch the window.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tessvar
