// tessvar: the main window on Qt. An optional argument names a description file that is
// loaded through the "Файл" page at start, as if the user had picked it there (with its
// TCP port chosen in the "Порт" list when it names one).
#include <QApplication>
#include <QLineEdit>
#include <QRect>
#include <QString>
#include <QTimer>
#include <clocale>
#include <memory>
#include <optional>
#include <string>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_app.h"
#include "platform/posix/file_settings_store.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/serial_enumeration.h"
#include "platform/posix/serial_port_check.h"
#include "qt/app_icon.h"
#include "qt/localisation.h"
#include "qt/qt_clock.h"
#include "qt/qt_window_host.h"
#include "qt/traffic_window.h"
#ifdef TESSVAR_HAVE_CHARTS
#include "qt/trend_window.h"
#endif

namespace {

using namespace tessvar;

void LoadAtStart(CKrellonDlg& dlg, qt::QtWindowHost& host, const std::string& path) {
  Dialog& main = dlg.GetDialog();
  main.UserClick(idc::kFileTab);
  COpenFile* page = dlg.FilePage();
  if (!page) return;
  host.PresetOpenAnswer(path);
  if (!page->LoadDescriptionFile()) return;
  // A description that names its TCP port gets it chosen in the "Порт" list, so that
  // "Старт" is all that is left to do.
  if (const uint16_t port = dlg.Settings().descriptionTcpPort; port != 0) {
    const int item = main.FindExact(idc::kPortList, std::to_string(port));
    if (item >= 0) main.UserSelect(idc::kPortList, item);
  }
  // The focus moves on to "Старт", which closes the page as it does for the user; told to
  // the page directly, since without a window manager no window activation follows.
  page->GetDialog().UserFocus(-1);
  main.SetFocus(idc::kStart);
  if (qt::DialogView* view = host.ViewOf(main)) view->activateWindow();
}

// The windows that watch the run, made when the menu first asks for them and gone before
// the main window is.
struct Watchers {
  CKrellonDlg* dlg = nullptr;
  qt::QtWindowHost* host = nullptr;
  std::unique_ptr<qt::TrafficWindow> traffic;
#ifdef TESSVAR_HAVE_CHARTS
  std::unique_ptr<qt::TrendWindow> trend;
#endif

  // Beside the main window on its right, the first time.
  void PlaceBeside(QWidget& w) {
    if (qt::DialogView* main = host->ViewOf(dlg->GetDialog())) {
      const QRect r = main->frameGeometry();
      w.move(r.right() + 8, r.top());
    }
  }
  void OpenTraffic() {
    if (!dlg) return;
    if (!traffic) {
      traffic = std::make_unique<qt::TrafficWindow>(dlg->Traffic());
      PlaceBeside(*traffic);
    }
    Show(*traffic);
  }
#ifdef TESSVAR_HAVE_CHARTS
  void OpenTrend(Clock& clock) {
    if (!dlg) return;
    if (!trend) {
      trend = std::make_unique<qt::TrendWindow>(*dlg, clock);
      PlaceBeside(*trend);
    }
    Show(*trend);
  }
#endif
  static void Show(QWidget& w) {
    w.show();
    w.raise();
    w.activateWindow();
  }
  void Close() {
    traffic.reset();
#ifdef TESSVAR_HAVE_CHARTS
    trend.reset();
#endif
    dlg = nullptr;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // QApplication took the locale from the environment; the C library's number formatting
  // stays "C" so that no decimal comma reaches a value field or a recording.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setApplicationName(QStringLiteral("Tessvar"));
  QApplication::setWindowIcon(qt::AppIcon());
  qt::InstallRussianTranslations(app);

  std::optional<std::string> preload;
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) preload = args.at(1).toStdString();

  RealClock realClock;
  qt::QtWindowHost host;
  host.SetStartFolder(qt::SamplesFolder());
  qt::QtClock clock(realClock, host);
  FileSettingsStore store(FileSettingsStore::DefaultPath());
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return SerialPortChoices(); };
  seams.serialPortProblem = [](std::string_view port) { return SerialPortProblem(port); };
  seams.makeSerialPort = [] { return MakePosixSerialPort(); };
  seams.makeTcpSocket = [] { return MakePosixTcpSocket(); };
  seams.configureSerial = [](std::string_view) {};  // a closed port has nothing to set
  Watchers watchers;
  watchers.host = &host;
  seams.openTrafficMonitor = [&watchers] { watchers.OpenTraffic(); };
#ifdef TESSVAR_HAVE_CHARTS
  seams.openTrend = [&watchers, &clock] { watchers.OpenTrend(clock); };
#endif

  CKrellonApp application(host, clock, store, std::move(seams));
  application.InitInstance([&](CKrellonDlg& dlg) {
    watchers.dlg = &dlg;
    for (const SystemMenuItem& item : dlg.SystemMenu())
      if (item.command != 0)
        host.SetMenuCommand(QString::fromStdString(item.text), item.command);
    if (preload)
      QTimer::singleShot(0, [&dlg, &host, &preload] { LoadAtStart(dlg, host, *preload); });
    host.RunModal(dlg.GetDialog(), nullptr);
    watchers.Close();
    host.DetachAll();  // the window and its pages go before the views do
  });
  return 0;
}
