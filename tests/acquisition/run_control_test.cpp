// End-to-end runs of the main window against the simulated transducer on the virtual clock.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "acquisition/presentation.h"
#include "app/control_ids.h"
#include "app/file_page.h"
#include "app/main_window_template.h"
#include "link/modbus_request.h"
#include "tests/acquisition/window_fixture.h"
#include "ui/dialog.h"

namespace tessvar::test {
namespace {

int FieldOf(std::string_view name) {
  for (const auto& v : PresentedSlots()) {
    if (v.name == name) return FindValueField(v.slot)->fieldId;
  }
  ADD_FAILURE() << "no field " << name;
  return -1;
}

// Registers of the two-channel RTU sample: channel 1 from 0x000, channel 2 from 0x100,
// ETA, tms and thm from 0x200. Counters are high word first.
std::map<uint16_t, uint16_t> PinnedRtuRegisters() {
  const uint16_t ch1[] = {1234, 15000, 0xFF38, 1, 2, 0xFFFF, 0xFFFE, 15000, 7500, 20000, 0xB1E0,
                          4567, 999, 0, 500, 50000, 321, 2500, 40, 0, 7};
  const uint16_t ch2[] = {0xC568, 30000, 9999, 0, 60000, 0, 3, 7777, 1500, 20000, 100,
                          200, 1000, 0x0001, 0x86A0, 5001, 15000, 750, 0xFFF6, 2, 0};
  std::map<uint16_t, uint16_t> m;
  for (uint16_t i = 0; i < 21; ++i) {
    m[i] = ch1[i];
    m[static_cast<uint16_t>(0x100 + i)] = ch2[i];
  }
  m[0x200] = 987;
  m[0x201] = 7250;
  m[0x202] = 0x0E05;
  return m;
}

struct Golden {
  const char* name;
  const char* code;
  const char* physical;
};
// Physical units: the register (the sample's divisors are all 1) scaled with the
// channel's nominals (75 V / 5 A on channel 1, 300 V / 10 A with kilo units on channel 2).
const Golden kGolden[] = {
    {"Udc1", "1234", "6.170"},      {"Idc1", "15000", "5.000"},   {"Pdc1", "-200", "-3.750"},
    {"Wdc1", "65538", "682.7"},     {"Qdc1", "-2", "-0.000"},     {"Uac1", "15000", "75.00"},
    {"Iac1", "7500", "2.500"},      {"P1", "20000", "375.0"},     {"Pq1", "-20000", "-375.0"},
    {"Ps1", "4567", "85.63"},       {"PF1", "999", "0.999"},      {"W1", "500", "5.208"},
    {"f1", "50000", "5000"},       {"Uacdc1", "321", "1.605"},   {"Iacdc1", "2500", "0.833"},
    {"Pacdc1", "40", "0.750"},      {"Wacdc1", "7", "0.073"},     {"Udc2", "-15000", "-300.0"},
    {"Idc2", "30000", "20.00"},     {"Pdc2", "9999", "1.500"},    {"Wdc2", "60000", "5.000"},
    {"Qdc2", "3", "0.001"},         {"Uac2", "7777", "155.5"},    {"Iac2", "1500", "1.000"},
    {"P2", "20000", "3.000"},       {"Pq2", "100", "0.015"},      {"Ps2", "200", "0.030"},
    {"PF2", "1000", "1.000"},       {"W2", "100000", "8.333"},    {"f2", "5001", "500.1"},
    {"Uacdc2", "15000", "300.0"},   {"Iacdc2", "750", "0.500"},   {"Pacdc2", "-10", "-0.001"},
    {"Wacdc2", "131072", "10.92"},  {"ETA", "987", "98.70"},
};

// Records every text the status line shows.
class StatusRecorder : public DialogObserver {
 public:
  explicit StatusRecorder(Dialog& d) : d_(d) { d_.AddObserver(this); }
  ~StatusRecorder() override { d_.RemoveObserver(this); }
  void ControlChanged(int id) override {
    if (id == idc::kStatusLine && (texts.empty() || texts.back() != d_.Text(idc::kStatusLine)))
      texts.push_back(d_.Text(idc::kStatusLine));
  }
  bool Saw(const std::string& t) const {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  }
  std::vector<std::string> texts;

 private:
  Dialog& d_;
};

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

class TempDir {
 public:
  TempDir() {
    path = std::filesystem::temp_directory_path() /
           ("tessvar_run_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

TEST(RunControlTest, GoldenValuesOverRtuInCodesAndPhysicalUnits) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu, PinnedRtuRegisters());
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  for (const auto& g : kGolden) EXPECT_EQ(rig.Text(FieldOf(g.name)), g.physical) << g.name;
  EXPECT_EQ(rig.Text(idc::kConverterTime), "14 : 05 : 07.25");
  EXPECT_EQ(rig.Text(1030), "Pdc1, Вт");
  EXPECT_EQ(rig.Text(1032), "Pdc2, kВт");
  EXPECT_EQ(rig.Text(1154), "Wdc2, kВт·ч");

  rig.Click(idc::kDisplayMode);  // to codes, during the run
  EXPECT_EQ(rig.Text(idc::kDisplayMode), "Код");
  ASSERT_TRUE(rig.RunDataSets(1));
  for (const auto& g : kGolden) EXPECT_EQ(rig.Text(FieldOf(g.name)), g.code) << g.name;
  EXPECT_EQ(rig.Text(1030), "Pdc1");
  EXPECT_EQ(rig.State().m_failureCount, 0);
  EXPECT_TRUE(rig.host.messages.empty());
}

TEST(RunControlTest, TheFirstDataSetAlreadyShowsTheTimeOfItsRequest) {
  // One block per pass: the first data set answers the request that "Старт" sent.
  WindowRig rig("tcp-two-channel.dat", ModbusFraming::Tcp, {});
  rig.clock.SetLocal(WallTime{2026, 12, 9, 3, 10, 20, 30, 450});
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_EQ(rig.Text(idc::kComputerTime), "10 : 20 : 30.45");
}

TEST(RunControlTest, GoldenValuesOverAscii) {
  std::map<uint16_t, uint16_t> pinned = {{0x10, 0xC568}, {0x11, 15000}, {0x13, 0}, {0x14, 900}};
  WindowRig rig("ascii-dc.dat", ModbusFraming::Ascii, pinned);
  rig.Click(idc::kDisplayMode);  // codes
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(2)) << rig.Text(idc::kStatusLine) << " " << rig.State().m_failureCount
                                  << " " << rig.host.LastMessageText();
  EXPECT_EQ(rig.Text(FieldOf("Udc1")), "-15000");
  EXPECT_EQ(rig.Text(FieldOf("Idc1")), "15000");
  EXPECT_EQ(rig.Text(FieldOf("Wdc1")), "900");
  EXPECT_EQ(rig.State().m_failureCount, 0);
  // The request went out as ASCII text: address 02, function 04, start 0010.
  const auto& w = rig.peer->Line()->written;
  ASSERT_GE(w.size(), 9u);
  EXPECT_EQ(std::string(w.begin(), w.begin() + 9), ":02040010");
}

TEST(RunControlTest, RequestBlocksOnTheWire) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(2));
  rig.Click(idc::kStop);
  std::vector<std::pair<int, int>> blocks;
  std::span<const uint8_t> w = rig.peer->Line()->written;
  while (w.size() >= 8) {
    const auto r = ParseRtuRequest(w.first(8), true);
    if (r.status != RequestStatus::Complete) break;
    blocks.emplace_back(r.request.start, r.request.quantity);
    w = w.subspan(8);
  }
  const std::vector<std::pair<int, int>> pass = {{0, 21}, {0x100, 21}, {0x200, 3}};
  ASSERT_GE(blocks.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(blocks[i], pass[i % 3]) << i;
}

TEST(RunControlTest, ClockEntriesApartFromTheDataStillCompleteThePass) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu, PinnedRtuRegisters());
  // Move the clock columns away from ETA: they no longer continue the last data block.
  auto& entries = rig.window->Description().entries;
  entries[43].address = "0x000300";
  entries[44].address = "0x000301";
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(3, 20000));
  EXPECT_EQ(rig.Text(FieldOf("ETA")), "98.70");
  EXPECT_EQ(rig.State().m_failureCount, 0);
}

TEST(RunControlTest, RecordingFileBytesOfAShortRun) {
  TempDir dir;
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu, PinnedRtuRegisters());
  rig.window->GetDialog().UserClick(idc::kSave);  // "Сохранить"
  rig.host.fileAnswers.push_back((dir.path / "run").string());
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(2));
  rig.Click(idc::kStop);
  ASSERT_EQ(rig.host.fileDialogs.size(), 2u);  // the description, then the recording
  EXPECT_TRUE(rig.host.fileDialogs[1].save);
  EXPECT_EQ(rig.host.fileDialogs[1].filter.pattern, "*.txt");

  const std::string b16(16, ' ');
  std::string header = "01_01_2026 03:00:00\r\n\r\n\xC2\xF0\xE5\xEC\xFF      \t";
  std::string line = "14:05:7,25\t";
  for (const auto& g : kGolden) {
    std::string v = g.physical;
    std::replace(v.begin(), v.end(), '.', ',');
    line += v + b16 + "\t";
  }
  line += "\r\n";
  const std::string file = ReadFile(dir.path / "run.txt");
  ASSERT_GT(file.size(), header.size());
  EXPECT_EQ(file.substr(0, header.size()), header);
  // Header captions: counters and a few AC+DC columns take a TAB alone.
  EXPECT_NE(file.find("Udc1, \xC2" + b16 + "\tIdc1, A" + b16 + "\tPdc1, \xC2\xF2" + b16 +
                      "\tWdc1, \xC2\xF2\xB7\xF7\tQdc1, A\xB7\xF7" + b16 + "\t"),
            std::string::npos);
  const size_t firstLine = file.find("\r\n", header.size()) + 2;
  EXPECT_EQ(file.substr(firstLine), line + line);
}

TEST(RunControlTest, RecordingAcrossMidnightRotatesWithoutLosingADataSet) {
  TempDir dir;
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu, PinnedRtuRegisters());
  WallTime late;
  late.year = 2026;
  late.month = 12;
  late.day = 8;
  late.hour = 23;
  late.minute = 59;
  late.second = 55;
  rig.clock.SetLocal(late);
  rig.window->GetDialog().UserClick(idc::kSave);
  rig.host.fileAnswers.push_back((dir.path / "night.txt").string());
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(8));
  rig.Click(idc::kStop);
  const uint64_t sets = rig.Run().DataSetsPresented();

  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].filename(), "night.txt");
  EXPECT_EQ(files[1].filename().string().substr(0, 16), "night_09_12__00_");
  const auto countLines = [](const std::string& s) {
    return static_cast<uint64_t>(std::count(s.begin(), s.end(), '\n')) - 3;  // header lines
  };
  const std::string a = ReadFile(files[0]), b = ReadFile(files[1]);
  EXPECT_EQ(b.substr(0, 11), "09_12_2026 ");
  EXPECT_GT(countLines(a), 0u);
  EXPECT_EQ(countLines(a) + countLines(b), sets);
  EXPECT_TRUE(rig.State().m_failureCount == 0);
}

TEST(RunControlTest, WriteFailureStopsRecordingWithAMessageAndPollingGoesOn) {
  TempDir dir;
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::filesystem::create_symlink("/dev/full", dir.path / "full.txt");
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.window->GetDialog().UserClick(idc::kSave);
  rig.host.fileAnswers.push_back((dir.path / "full.txt").string());
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(3));
  ASSERT_EQ(rig.host.messages.size(), 1u);
  EXPECT_EQ(rig.host.messages[0].caption, "Увы ошибка");
  EXPECT_NE(rig.host.messages[0].text.find("full.txt"), std::string::npos);
  EXPECT_TRUE(rig.State().m_running);
  EXPECT_EQ(rig.Run().RecordFilePath(), "");
}

// A host whose message box runs the window's timers while it is open, as a modal loop does.
class ModalHost : public ScriptedHost {
 public:
  using ScriptedHost::ScriptedHost;
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) override {
    ScriptedHost::MessageBox(text, caption, icon);
    RunFor(3000);
  }
};

TEST(RunControlTest, FileThatCannotBeCreatedIsReportedOnceWhileTimersRun) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  // Rebuild the window on the modal host.
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return std::vector<std::string>{"ttyS7"}; };
  seams.makeSerialPort = [&] { return rig.peer->MakeSerialPort(); };
  seams.makeTcpSocket = [&] { return rig.peer->MakeTcpSocket(); };
  seams.configureSerial = [](std::string_view) {};
  // The peer runs on the rig's clock; keep this window on it too.
  ModalHost modal(rig.clock);
  CKrellonDlg w(modal, rig.clock, rig.store, seams);
  w.OnInitDialog();
  w.GetDialog().UserClick(idc::kFileTab);
  modal.fileAnswers.push_back(SamplePath("rtu-two-channel.dat"));
  w.FilePage()->LoadDescriptionFile();
  w.GetDialog().UserSelect(idc::kPortList, w.GetDialog().FindExact(idc::kPortList, "ttyS7"));
  w.GetDialog().UserClick(idc::kSave);
  modal.fileAnswers.push_back("/nonexistent-dir/x/rec.txt");
  w.GetDialog().UserClick(idc::kStart);
  modal.RunFor(10000);
  ASSERT_EQ(modal.messages.size(), 1u);
  EXPECT_EQ(modal.messages[0].text, "Не могу создать файл, /nonexistent-dir/x/rec.txt");
  EXPECT_EQ(modal.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_GT(w.RunControl().DataSetsPresented(), 3u);
  w.GetDialog().UserClick(idc::kStop);
}

struct FaultCase {
  const char* rule;
  const char* status;
};

class RecoveryTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RecoveryTest, ShowsTheTextCountsOneFailureAndRecovers) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu, PinnedRtuRegisters());
  std::string error;
  // The fifth request (the middle block of the second pass) goes wrong once.
  auto rule = sim::ParseFaultRule(GetParam().rule, error);
  ASSERT_TRUE(rule) << error;
  rig.peer->SetFaults({*rule});
  StatusRecorder status(rig.window->GetDialog());
  bool allGood = true;
  rig.Run().SetDataSetListener([&] {
    allGood = allGood && rig.Text(FieldOf("Udc1")) == "6.170" && rig.Text(FieldOf("Udc2")) == "-300.0" &&
              rig.Text(FieldOf("ETA")) == "98.70";
  });
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(4, 60000));
  EXPECT_TRUE(status.Saw(GetParam().status)) << GetParam().rule << ": " << status.texts.size()
                                             << " " << (status.texts.size() > 1 ? status.texts[1] : "");
  EXPECT_EQ(rig.State().m_failureCount, 1) << GetParam().rule;
  EXPECT_EQ(rig.Text(idc::kFailureCount), "1");
  EXPECT_TRUE(allGood);
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Запрос данных");
  EXPECT_FALSE(rig.State().m_linkTrouble);
  EXPECT_TRUE(rig.host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RecoveryTest,
    ::testing::Values(
        FaultCase{"no-reply:1@4", "Буфер обмена пуст"},
        FaultCase{"bad-checksum:1@4", "Ошибка контрольной суммы"},
        FaultCase{"exception=1:1@4", "Принятый код функции не может быть обработан на подчиненном"},
        FaultCase{"exception=2:1@4", "Адрес данных указанный в запросе не доступен данному подчиненному"},
        FaultCase{"exception=3:1@4",
                  "Величина содержащаяся в поле данных запроса является не допустимой величиной для подчиненного"},
        FaultCase{"exception=4:1@4", "Подчиненный не отвечает"},
        FaultCase{"truncate:1@4", "Ошибка контрольной суммы"},
        FaultCase{"overcount:1@4", "Буфер обмена пуст"}));

TEST(RunControlTest, TcpRunWithGoldenValuesAndAClosedConnection) {
  // The TCP sample polls everything in one block: channel 2 follows channel 1 at 0x15.
  std::map<uint16_t, uint16_t> pinned = {{0x00, 1500}, {0x15, 0xC568}, {0x2A, 59999}, {0x2B, 0x1737}};
  WindowRig rig("tcp-two-channel.dat", ModbusFraming::Tcp, pinned);
  std::string error;
  rig.peer->SetFaults({*sim::ParseFaultRule("close-after=3", error)});
  StatusRecorder status(rig.window->GetDialog());
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(6, 60000));
  EXPECT_EQ(rig.Text(idc::kConverterTime), "23 : 55 : 59.99");
  EXPECT_GE(rig.peer->connects, 2);
  EXPECT_GE(rig.State().m_failureCount, 1);
  EXPECT_TRUE(status.Saw("Буфер обмена пуст"));
  rig.Click(idc::kDisplayMode);
  ASSERT_TRUE(rig.RunDataSets(1, 60000));
  EXPECT_EQ(rig.Text(FieldOf("Udc1")), "1500");
  EXPECT_EQ(rig.Text(FieldOf("Udc2")), "-15000");
  rig.Click(idc::kStop);
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Ожидание");
}

TEST(RunControlTest, UnreachableTcpPeerWaitsForReconnection) {
  WindowRig rig("tcp-two-channel.dat", ModbusFraming::Tcp);
  rig.peer->refuseConnect = true;
  rig.Click(idc::kStart);
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Ожидаем восстановления подключения");
  EXPECT_TRUE(rig.State().m_linkTrouble);
  EXPECT_EQ(rig.State().m_failureCount, 1);
  rig.Run(5100);  // one reconnection round: two attempts
  EXPECT_EQ(rig.State().m_failureCount, 3);
  rig.peer->refuseConnect = false;
  rig.Run(5100);
  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Запрос данных");
  rig.Click(idc::kStop);
  EXPECT_EQ(rig.Text(idc::kStatusLine), "Ожидание");
  EXPECT_FALSE(rig.State().m_linkTrouble);
}

TEST(RunControlTest, VanishedAdapterIsReopenedByTheRestart) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.Click(idc::kStart);
  ASSERT_TRUE(rig.RunDataSets(1));
  const size_t opens = rig.peer->Line()->openedNames.size();
  rig.peer->Line()->failIo = true;
  rig.Run(600);
  rig.peer->Line()->failIo = false;
  ASSERT_TRUE(rig.RunDataSets(2, 30000));
  EXPECT_GT(rig.peer->Line()->openedNames.size(), opens);
  EXPECT_GE(rig.State().m_failureCount, 1);
}

TEST(RunControlTest, StartRefusals) {
  {
    VirtualClock clock;
    ScriptedHost host(clock);
    NullStore store;
    CKrellonDlg w(host, clock, store, {});
    w.OnInitDialog();
    w.GetDialog().UserClick(idc::kStart);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Загрузите файл конфигурации");
    EXPECT_EQ(host.messages[0].caption, "Ошибка");
    EXPECT_FALSE(w.Run().m_running);
  }
  {
    WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
    rig.peer->Line()->refuseOpen = true;
    rig.window->Settings().portText = "НЕТ";
    rig.Click(idc::kStart);
    ASSERT_EQ(rig.host.messages.size(), 1u);
    EXPECT_EQ(rig.host.messages[0].text, "Не выбран COM порт");
    EXPECT_FALSE(rig.State().m_running);
    EXPECT_TRUE(rig.window->GetDialog().IsEnabled(idc::kStart));
    rig.window->Settings().portText = "ttyS7";
    rig.Click(idc::kStart);
    EXPECT_EQ(rig.host.LastMessageText(), "Не могу открыть ttyS7");
  }
}

TEST(RunControlTest, SaveDialogCancelledStartsWithoutRecording) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.window->GetDialog().UserClick(idc::kSave);
  rig.Click(idc::kStart);  // no answer queued: cancel
  EXPECT_TRUE(rig.State().m_running);
  EXPECT_FALSE(rig.window->GetDialog().IsChecked(idc::kSave));
  ASSERT_TRUE(rig.RunDataSets(1));
  EXPECT_EQ(rig.Run().RecordFilePath(), "");
}

TEST(RunControlTest, RecordingTimeStopsAtTheDeadlineDespiteRestarts) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  std::string error;
  rig.peer->SetFaults({*sim::ParseFaultRule("no-reply:2@6", error)});
  Dialog& d = rig.window->GetDialog();
  d.UserClick(idc::kLimitTime);
  d.UserType(idc::kRecordingTime, "00:00:15");
  const uint64_t start = rig.clock.MonotonicMs();
  rig.Click(idc::kStart);
  EXPECT_EQ(rig.Text(idc::kRemainingTime), "00:00:15");
  rig.Run(2200);  // the record timer last ran 2.0 s after the period began
  EXPECT_EQ(rig.Text(idc::kRemainingTime), "00 : 00 : 13");
  rig.host.RunFor(60000, [&] { return !rig.State().m_running; });
  EXPECT_FALSE(rig.State().m_running);
  EXPECT_EQ(rig.Text(idc::kRemainingTime), "00 : 00 : 00");
  EXPECT_EQ(rig.State().m_failureCount, 2);
  const uint64_t took = rig.clock.MonotonicMs() - start;
  EXPECT_GE(took, 15000u);
  EXPECT_LE(took, 15600u);
}

TEST(RunControlTest, ValuesAndRecordingIgnoreACommaDecimalLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) GTEST_SKIP() << "ru_RU.UTF-8 is not installed";
  TempDir dir;
  {
    WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu, PinnedRtuRegisters());
    rig.window->GetDialog().UserClick(idc::kSave);
    rig.host.fileAnswers.push_back((dir.path / "ru.txt").string());
    rig.Click(idc::kStart);
    ASSERT_TRUE(rig.RunDataSets(1));
    rig.Click(idc::kStop);
    for (const auto& g : kGolden) EXPECT_EQ(rig.Text(FieldOf(g.name)), g.physical) << g.name;
    EXPECT_EQ(rig.Text(idc::kConverterTime), "14 : 05 : 07.25");
  }
  std::setlocale(LC_ALL, saved.c_str());
  const std::string file = ReadFile(dir.path / "ru.txt");
  EXPECT_NE(file.find("14:05:7,25\t6,170"), std::string::npos);
}

TEST(RunControlTest, MalformedRecordingTimeAbortsTheStart) {
  for (const char* text : {"25:00:00", "00:61:00", "00:05", "::"}) {
    WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
    Dialog& d = rig.window->GetDialog();
    d.UserClick(idc::kLimitTime);
    d.UserType(idc::kRecordingTime, text);
    rig.Click(idc::kStart);
    ASSERT_EQ(rig.host.messages.size(), 1u) << text;
    EXPECT_EQ(rig.host.messages[0].text, "Задан неверный формат времени");
    EXPECT_FALSE(rig.State().m_running) << text;
    EXPECT_TRUE(d.IsEnabled(idc::kStart));
    rig.Run(2000);
    EXPECT_EQ(rig.Run().DataSetsPresented(), 0u);
  }
}

TEST(RunControlTest, PollPeriodBelowTenMillisecondsIsTen) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  rig.window->GetDialog().UserType(idc::kPollPeriod, "0");
  rig.Click(idc::kStart);
  EXPECT_EQ(rig.host.TimerPeriod(rig.window->GetDialog(), 1), 10u);
  rig.Click(idc::kStop);
}

TEST(RunControlTest, StopUnlocksAndResetCountsFromZero) {
  WindowRig rig("rtu-two-channel.dat", ModbusFraming::Rtu);
  Dialog& d = rig.window->GetDialog();
  rig.Click(idc::kStart);
  EXPECT_FALSE(d.IsEnabled(idc::kStart));
  EXPECT_TRUE(d.IsEnabled(idc::kStop));
  EXPECT_TRUE(d.State(idc::kPollPeriod).readOnly);
  EXPECT_FALSE(d.IsEnabled(idc::kProtocolList));
  rig.peer->Line()->failIo = true;
  rig.Run(700);
  EXPECT_GE(rig.State().m_failureCount, 1);
  rig.Click(idc::kStop);
  EXPECT_TRUE(d.IsEnabled(idc::kStart));
  EXPECT_FALSE(d.IsEnabled(idc::kStop));
  EXPECT_FALSE(d.State(idc::kPollPeriod).readOnly);
  EXPECT_TRUE(d.IsEnabled(idc::kProtocolList));
  EXPECT_FALSE(rig.host.HasTimer(d, 1));
  rig.Run().OnResetFailures();
  EXPECT_EQ(rig.Text(idc::kFailureCount), "0");
}

}  // namespace
}  // namespace tessvar::test
