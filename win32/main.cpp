// tessvar.exe: the main window on Win32. An optional argument names a description file
// that is loaded through the "Файл" page at start, as if the user had picked it there.
#include "win32/windows_api.h"

#include <shellapi.h>

#include <clocale>
#include <optional>
#include <string>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_app.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/serial_enumeration.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/win32_serial_port.h"
#include "platform/win32/win32_tcp_socket.h"
#include "win32/text.h"
#include "win32/win32_clock.h"
#include "win32/win32_window_host.h"

namespace {

using namespace tessvar;

void LoadAtStart(CKrellonDlg& dlg, win32::Win32WindowHost& host, const std::string& path) {
  Dialog& main = dlg.GetDialog();
  main.UserClick(idc::kFileTab);
  COpenFile* page = dlg.FilePage();
  if (!page) return;
  host.PresetOpenAnswer(path);
  if (!page->LoadDescriptionFile()) return;
  // A description that names its TCP port gets it chosen in the "Порт" list.
  if (const uint16_t port = dlg.Settings().descriptionTcpPort; port != 0) {
    const int item = main.FindExact(idc::kPortList, std::to_string(port));
    if (item >= 0) main.UserSelect(idc::kPortList, item);
  }
  // The focus moves on to "Старт", which closes the page as it does for the user.
  page->GetDialog().UserFocus(-1);
  main.SetFocus(idc::kStart);
}

std::optional<std::string> FirstArgument() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::optional<std::string> first;
  if (argv && argc > 1) first = win32::Utf8(argv[1]);
  LocalFree(argv);
  return first;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_INTERNET_CLASSES};
  InitCommonControlsEx(&controls);
  // No decimal comma from the C library reaches a value field or a recording.
  std::setlocale(LC_NUMERIC, "C");
  const std::optional<std::string> preload = FirstArgument();

  RealClock realClock;
  win32::Win32WindowHost host;
  win32::Win32Clock clock(realClock, host);
  RegistrySettingsStore store;
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return EnumerateSerialDevices(); };
  seams.makeSerialPort = [] { return MakeWin32SerialPort(); };
  seams.makeTcpSocket = [] { return MakeWin32TcpSocket(); };
  seams.configureSerial = [](std::string_view) {};  // a closed port has nothing to set

  CKrellonApp application(host, clock, store, std::move(seams));
  application.InitInstance([&](CKrellonDlg& dlg) {
    for (const SystemMenuItem& item : dlg.SystemMenu())
      if (item.command != 0) host.SetMenuCommand(item.text, item.command);
    if (preload) host.Post([&dlg, &host, &preload] { LoadAtStart(dlg, host, *preload); });
    host.RunModal(dlg.GetDialog(), nullptr);
    host.DetachAll();  // the window and its pages go before the views do
  });
  return 0;
}
