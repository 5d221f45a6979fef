// How long the window's own work takes, without a screen: initialisation, loading a
// description through the file page, and redrawing the colours of all value fields.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/krellon_dlg.h"
#include "platform/settings_store.h"
#include "platform/virtual_clock.h"
#include "tests/support/scripted_host.h"

namespace {

using namespace tessvar;

class NoStore : public SettingsStore {
 public:
  std::unique_ptr<SettingsKey> OpenOrCreateKey(std::string_view) override { return nullptr; }
};

struct Window {
  VirtualClock clock;
  test::ScriptedHost host{clock};
  NoStore store;
  CKrellonDlg dlg{host, clock, store, KrellonSeams{}};
};

void BM_OnInitDialog(benchmark::State& state) {
  for (auto _ : state) {
    Window w;
    w.dlg.OnInitDialog();
    benchmark::DoNotOptimize(w.dlg.GetDialog().Title());
  }
}
BENCHMARK(BM_OnInitDialog);

void BM_LoadSample(benchmark::State& state) {
  Window w;
  w.dlg.OnInitDialog();
  w.dlg.GetDialog().UserClick(idc::kFileTab);
  const std::string path = std::string(TESSVAR_SAMPLES_DIR) + "/rtu-two-channel.dat";
  for (auto _ : state) {
    w.host.fileAnswers.push_back(path);
    w.dlg.FilePage()->LoadDescriptionFile();
  }
  state.counters["entries"] = static_cast<double>(w.dlg.Description().entries.size());
}
BENCHMARK(BM_LoadSample);

void BM_RefreshColorsGroupPoll(benchmark::State& state) {
  Window w;
  w.dlg.OnInitDialog();
  w.dlg.GetDialog().UserClick(idc::kFileTab);
  w.host.fileAnswers.push_back(std::string(TESSVAR_SAMPLES_DIR) + "/rtu-two-channel.dat");
  w.dlg.FilePage()->LoadDescriptionFile();
  Dialog& d = w.dlg.GetDialog();
  d.SetSelection(idc::kProtocolList, 3);
  w.dlg.ApplyProtocolState();
  d.UserClick(idc::kModeGroupPoll);
  d.UserSelect(idc::kGroupList, 3);
  for (auto _ : state) w.dlg.RefreshColors();
}
BENCHMARK(BM_RefreshColorsGroupPoll);

}  // namespace

BENCHMARK_MAIN();
