// Figures of the window program: time from process start to the first paint of the main
// window, and after a run polling the simulator, resident memory and CPU time.
//   tessvar_qt_bench startup
//   tessvar_qt_bench run SECONDS POLL_MS SIMULATOR SAMPLE.dat
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_dlg.h"
#include "platform/posix/file_settings_store.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "qt/qt_clock.h"
#include "qt/traffic_window.h"
#ifdef TESSVAR_HAVE_CHARTS
#include <QListWidget>

#include "qt/trend_window.h"
#endif
#include "qt/qt_window_host.h"
#include "tools/make_samples/sample_set.h"

using namespace tessvar;

namespace {

// Milliseconds the process has existed, from the kernel's start stamp (10 ms resolution).
double ProcessAgeMs() {
  std::ifstream stat("/proc/self/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), {});
  const auto close = all.rfind(')');
  std::istringstream rest(all.substr(close + 2));
  std::string field;
  for (int i = 3; i < 22 && rest >> field; ++i) {
  }
  unsigned long long start = 0;
  rest >> start;
  double uptime = 0;
  std::ifstream("/proc/uptime") >> uptime;
  return uptime * 1000.0 - static_cast<double>(start) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  return -1;
}

class FirstPaint : public QObject {
 public:
  std::function<void()> onPaint;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && onPaint) {
      auto f = std::move(onPaint);
      onPaint = nullptr;
      QTimer::singleShot(0, f);
    }
    return false;
  }
};

struct Window {
  RealClock real;
  qt::QtWindowHost host;
  qt::QtClock clock{real, host};
  QTemporaryDir home;
  FileSettingsStore store{home.filePath(QStringLiteral("settings")).toStdString()};
  std::unique_ptr<CKrellonDlg> dlg;
  qt::DialogView* view = nullptr;

  Window() {
    KrellonSeams seams;
    seams.enumerateSerialPorts = [] { return std::vector<std::string>{}; };
    seams.makeSerialPort = [] { return MakePosixSerialPort(); };
    seams.makeTcpSocket = [] { return MakePosixTcpSocket(); };
    seams.configureSerial = [](std::string_view) {};
    dlg = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
    dlg->OnInitDialog();
    view = &host.AttachMain(dlg->GetDialog());
  }
  ~Window() {
    dlg->OnDestroy();
    host.DetachAll();
  }
};

int Startup() {
  const double atMain = ProcessAgeMs();
  QElapsedTimer sinceMain;
  sinceMain.start();
  Window w;
  FirstPaint probe;
  probe.onPaint = [&] {
    std::printf("first paint: %.1f ms after main(), %.0f ms after exec (process start to main: %.0f ms)\n",
                static_cast<double>(sinceMain.nsecsElapsed()) / 1e6, ProcessAgeMs(), atMain);
    QApplication::exit(0);
  };
  w.view->installEventFilter(&probe);
  w.view->show();
  QTimer::singleShot(20000, [] { QApplication::exit(1); });
  return QApplication::exec();
}

// A message box in the middle of a long run is reported and dismissed.
void DismissMessageBoxes() {
  auto* t = new QTimer(qApp);
  QObject::connect(t, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::printf("message box: %s\n", box->text().toStdString().c_str());
      box->accept();
    }
  });
  t->start(200);
}

int Run(int seconds, int pollMs, const QString& sim, const QString& sample) {
  DismissMessageBoxes();
  QProcess server;
  server.start(sim, {QStringLiteral("--dat"), sample, QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")});
  if (!server.waitForStarted(5000)) return 2;
  QString out;
  for (int i = 0; i < 50 && !out.contains(QLatin1Char('\n')); ++i) {
    server.waitForReadyRead(100);
    out += QString::fromUtf8(server.readAllStandardOutput());
  }
  const auto m = QRegularExpression(QStringLiteral("listening 127\\.0\\.0\\.1:(\\d+)")).match(out);
  if (!m.hasMatch()) return 3;
  const uint16_t port = static_cast<uint16_t>(m.captured(1).toUInt());

  Window w;
  w.view->show();
  samples::DescriptionLayout layout;
  for (auto& s : samples::SampleSet())
    if (s.fileName == "tcp-two-channel.dat") layout = s.layout;
  if (!layout.network) return 4;
  layout.network->port = port;
  const auto bytes = samples::WriteDescription(layout);
  const QString path = w.home.filePath(QStringLiteral("tcp.dat"));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return 5;
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  f.close();

  Dialog& d = w.dlg->GetDialog();
  d.UserClick(idc::kFileTab);
  w.host.PresetOpenAnswer(path.toStdString());
  if (!w.dlg->FilePage() || !w.dlg->FilePage()->LoadDescriptionFile()) return 6;
  d.UserFocus(idc::kPollPeriod);
  d.UserType(idc::kPollPeriod, std::to_string(pollMs));
  d.UserEnter();
  d.UserSelect(idc::kPortList, d.FindExact(idc::kPortList, std::to_string(port)));

  long updates = 0;
  struct Counter : DialogObserver {
    long* n;
    Dialog* d;
    std::map<std::string, int> statuses;
    void ControlChanged(int id) override {
      if (id == idc::kConverterTime) ++*n;
      if (id == idc::kStatusLine) ++statuses[d->Text(id)];
    }
  } counter;
  counter.n = &updates;
  counter.d = &d;
  d.AddObserver(&counter);
  d.UserClick(idc::kStart);
  // TESSVAR_BENCH_WATCH=1: the "Обмен" and "Тренд" windows open beside it for the whole run
  // (every quantity ticked), to see what watching costs the poll.
  std::unique_ptr<QWidget> traffic, trend;
  if (qEnvironmentVariableIsSet("TESSVAR_BENCH_WATCH")) {
    traffic = std::make_unique<qt::TrafficWindow>(w.dlg->Traffic());
    traffic->show();
#ifdef TESSVAR_HAVE_CHARTS
    auto t = std::make_unique<qt::TrendWindow>(*w.dlg, w.clock);
    for (int i = 0; i < t->Quantities()->count(); ++i) t->Quantities()->item(i)->setCheckState(Qt::Checked);
    t->show();
    trend = std::move(t);
#endif
  }
  QTimer::singleShot(seconds * 1000, [] { QApplication::exit(0); });
  QApplication::exec();
  const bool running = w.dlg->Run().m_running;
  d.UserClick(idc::kStop);
  d.RemoveObserver(&counter);

  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const double user = static_cast<double>(ru.ru_utime.tv_sec) + ru.ru_utime.tv_usec / 1e6;
  const double sys = static_cast<double>(ru.ru_stime.tv_sec) + ru.ru_stime.tv_usec / 1e6;
  std::printf("run: %d s polling every %d ms, still running at the end: %s\n", seconds, pollMs,
              running ? "yes" : "no");
  std::printf("converter-time updates shown: %ld, failures counted: %s\n", updates,
              d.Text(idc::kFailureCount).c_str());
  for (const auto& [text, count] : counter.statuses)
    std::printf("status \"%s\" shown %d times\n", text.c_str(), count);
  std::printf("resident memory: %ld kB (peak %ld kB)\n", StatusKb("VmRSS:"), StatusKb("VmHWM:"));
  std::printf("CPU time: user %.2f s, system %.2f s (%.1f %% of one core)\n", user, sys,
              100.0 * (user + sys) / seconds);
  server.terminate();
  if (!server.waitForFinished(3000)) server.kill();
  return 0;
}

// How long the window thread goes without processing events while the device does not
// answer, and how long "Стоп" takes to act. A 5 ms probe timer stamps every turn of the
// event loop; "Стоп" is clicked `seconds` after "Старт" (by a timer, so a blocked window
// clicks late). Figures only.
int Stall(int seconds, const QString& ip, int port, const QString& sample) {
  DismissMessageBoxes();
  Window w;
  w.view->show();
  Dialog& d = w.dlg->GetDialog();
  d.UserClick(idc::kFileTab);
  w.host.PresetOpenAnswer(sample.toStdString());
  if (!w.dlg->FilePage() || !w.dlg->FilePage()->LoadDescriptionFile()) return 6;
  d.UserFocus(idc::kPollPeriod);
  const QStringList octets = ip.split(QLatin1Char('.'));
  uint32_t address = 0;
  for (const QString& o : octets) address = (address << 8) | (o.toUInt() & 0xFFu);
  d.UserSetIpv4(idc::kIpAddress, address);
  const int item = d.FindExact(idc::kPortList, std::to_string(port));
  if (item >= 0) d.UserSelect(idc::kPortList, item);
  else d.UserType(idc::kPortList, std::to_string(port));  // the list takes a typed port

  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longest = 0, stopClickedAt = -1, stoppedAt = -1;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longest = std::max(longest, now - last);
    last = now;
  });
  struct Watch : DialogObserver {
    std::function<void(int)> changed;
    void ControlChanged(int id) override { changed(id); }
  } watch;
  std::map<std::string, int> statuses;
  watch.changed = [&](int id) {
    if (id != idc::kStatusLine) return;
    ++statuses[d.Text(id)];
    std::printf("%7.3f s  %s\n", static_cast<double>(clock.elapsed()) / 1000.0, d.Text(id).c_str());
    if (stopClickedAt >= 0 && stoppedAt < 0 && d.Text(id) == "Ожидание") stoppedAt = clock.elapsed();
  };
  d.AddObserver(&watch);
  probe.start(5);
  // Both clicks come from the event loop, as a user's do; the "Стоп" timer runs from the
  // start, so a "Старт" that waits inside its handler does not delay it.
  QTimer::singleShot(0, [&] { d.UserClick(idc::kStart); });
  QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, [&] {
    // When the user clicked (a coarse timer may fire a little early or late).
    stopClickedAt = clock.elapsed();
    std::printf("%7.3f s  Стоп clicked\n", static_cast<double>(stopClickedAt) / 1000.0);
    d.UserClick(idc::kStop);
  });
  QTimer::singleShot(seconds * 1000 + 25000, [] { QApplication::exit(0); });
  QTimer done;
  QObject::connect(&done, &QTimer::timeout, [&] {
    if (stoppedAt >= 0 && clock.elapsed() > stoppedAt + 500) QApplication::exit(0);
  });
  done.start(100);
  QApplication::exec();
  d.RemoveObserver(&watch);
  std::printf("peer %s:%d, Стоп after %d s\n", ip.toStdString().c_str(), port, seconds);
  std::printf("longest time without processing events: %lld ms\n", static_cast<long long>(longest));
  if (stoppedAt >= 0)
    std::printf("Стоп to stopped: %lld ms\n", static_cast<long long>(stoppedAt - stopClickedAt));
  else
    std::printf("Стоп to stopped: not within 25 s\n");
  std::printf("failures counted: %s\n", d.Text(idc::kFailureCount).c_str());
  for (const auto& [text, count] : statuses) std::printf("status \"%s\" shown %d times\n", text.c_str(), count);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  const QStringList a = QApplication::arguments();
  if (a.size() >= 2 && a[1] == QLatin1String("startup")) return Startup();
  if (a.size() >= 6 && a[1] == QLatin1String("run"))
    return Run(a[2].toInt(), a[3].toInt(), a[4], a[5]);
  if (a.size() >= 6 && a[1] == QLatin1String("stall"))
    return Stall(a[2].toInt(), a[3], a[4].toInt(), a[5]);
  std::fprintf(stderr, "usage: tessvar_qt_bench startup | run SECONDS POLL_MS SIMULATOR SAMPLE.dat"
                       " | stall SECONDS IP PORT SAMPLE.dat\n");
  return 1;
}
