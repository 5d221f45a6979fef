// The "Обмен" window's behaviour: rows taken on each poll, late failure marks, the filter,
// pause and clear, the row cap, and the texts it copies and saves.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/traffic_monitor.h"
#include "app/trend_recorder.h"
#include "tests/app/app_fixture.h"
#include "model/connection_settings.h"
#include "platform/virtual_clock.h"

namespace tessvar {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kRequest = {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x70, 0x0D};
const Bytes kReply = {0x01, 0x03, 0x02, 0x00, 0x01, 0x79, 0x84};
const Bytes kException = {0x01, 0x84, 0x02, 0xC2, 0xC1};

struct Rig {
  VirtualClock clock;
  monitor::TrafficCapture capture{clock};
  TrafficMonitor monitor{capture, 6};
  Rig() {
    ConnectionSettings s;
    s.protocol = ProtocolKind::ModbusRtu;
    capture.OnRunStart(s, true);
  }
  void Frame(FrameDirection d, const Bytes& b) {
    clock.Advance(50);
    capture.OnFrame(d, clock.MonotonicMs(), b);
  }
  std::vector<std::string> Column(int c) const {
    std::vector<std::string> out;
    for (size_t i = 0; i < monitor.VisibleCount(); ++i) out.push_back(monitor.Cell(i, c));
    return out;
  }
};

TEST(TrafficMonitor, RowsArriveOnPollAndALateMarkTurnsTheRequestRed) {
  Rig r;
  r.Frame(FrameDirection::Sent, kRequest);
  r.Frame(FrameDirection::Received, kReply);
  r.capture.OnExchange(LinkResult::kGood);
  EXPECT_EQ(r.monitor.VisibleCount(), 0u);
  auto change = r.monitor.Poll();
  EXPECT_EQ(change.appended, 2u);
  EXPECT_EQ(r.Column(0), (std::vector<std::string>{"50", "100"}));
  EXPECT_EQ(r.Column(2), (std::vector<std::string>{"→", "←"}));
  EXPECT_EQ(r.Column(3), (std::vector<std::string>{"8", "7"}));
  EXPECT_EQ(r.monitor.Cell(0, 4), "01 04 00 00 00 0A 70 0D");
  EXPECT_NE(r.monitor.Cell(1, 5).find("byte count 2"), std::string::npos);

  r.Frame(FrameDirection::Sent, kRequest);
  EXPECT_EQ(r.monitor.Poll().appended, 1u);
  EXPECT_FALSE(r.monitor.Visible(2).Faulty());
  r.capture.OnExchange(LinkResult::kNoReply);  // nothing came back: the request is marked
  change = r.monitor.Poll();
  EXPECT_TRUE(change.marked);
  EXPECT_TRUE(r.monitor.Visible(2).Faulty());
  EXPECT_NE(r.monitor.Cell(2, 5).find("— Буфер обмена пуст"), std::string::npos) << r.monitor.Cell(2, 5);
  EXPECT_FALSE(r.monitor.Poll().Any());
}

TEST(TrafficMonitor, FilterByDirectionAndKind) {
  Rig r;
  r.Frame(FrameDirection::Sent, kRequest);
  r.Frame(FrameDirection::Received, kReply);
  r.Frame(FrameDirection::Sent, kRequest);
  r.Frame(FrameDirection::Received, kException);
  r.capture.OnExchange(LinkResult::kIllegalDataAddress);
  r.monitor.Poll();
  struct Case {
    TrafficFilter filter;
    std::vector<std::string> ms;
  };
  const std::vector<Case> cases = {
      {{DirectionFilter::All, true, true, true}, {"50", "100", "150", "200"}},
      {{DirectionFilter::Sent, true, true, true}, {"50", "150"}},
      {{DirectionFilter::Received, true, true, true}, {"100", "200"}},
      {{DirectionFilter::All, false, true, true}, {"200"}},
      {{DirectionFilter::All, true, true, false}, {"50", "100", "150"}},
      {{DirectionFilter::Received, true, true, false}, {"100"}},
  };
  for (const auto& c : cases) {
    r.monitor.SetFilter(c.filter);
    EXPECT_EQ(r.Column(0), c.ms);
  }
}

TEST(TrafficMonitor, PauseHoldsRowsBackClearEmptiesAndTheCapHolds) {
  Rig r;  // at most 6 rows
  r.Frame(FrameDirection::Sent, kRequest);
  r.monitor.SetPaused(true);
  r.Frame(FrameDirection::Received, kReply);
  EXPECT_FALSE(r.monitor.Poll().Any());
  EXPECT_EQ(r.monitor.VisibleCount(), 0u);
  r.monitor.SetPaused(false);
  EXPECT_EQ(r.monitor.Poll().appended, 2u);
  r.monitor.Clear();
  EXPECT_EQ(r.monitor.VisibleCount(), 0u);
  for (int i = 0; i < 4; ++i) r.Frame(FrameDirection::Sent, kRequest);
  r.monitor.Poll();
  EXPECT_EQ(r.Column(0), (std::vector<std::string>{"150", "200", "250", "300"}));
  for (int i = 0; i < 4; ++i) r.Frame(FrameDirection::Sent, kRequest);
  const auto change = r.monitor.Poll();
  EXPECT_EQ(r.monitor.VisibleCount(), 6u);
  EXPECT_EQ(change.droppedFront, 2u);
  EXPECT_EQ(change.appended, 4u);
  EXPECT_EQ(r.Column(0).front(), "250");
  EXPECT_EQ(r.Column(0).back(), "500");
}

TEST(TrafficMonitor, CopiedAndSavedTextAndPcap) {
  Rig r;
  r.Frame(FrameDirection::Sent, kRequest);
  r.capture.OnExchange(LinkResult::kNoReply);
  r.Frame(FrameDirection::Sent, kRequest);
  r.Frame(FrameDirection::Received, kReply);
  r.monitor.Poll();
  const std::string copied = r.monitor.RowsText({0});
  EXPECT_EQ(copied.substr(0, 3), "50\t");
  EXPECT_NE(copied.find("\t→\t8\t01 04 00 00 00 0A 70 0D\tRTU unit 1 fn 4"), std::string::npos) << copied;
  EXPECT_NE(copied.find("\tБуфер обмена пуст\n"), std::string::npos) << copied;
  EXPECT_EQ(r.monitor.RowsText({2, 7}).find("\t←\t7\t"), r.monitor.RowsText({2}).find("\t←\t7\t"));

  const auto dir = std::filesystem::temp_directory_path();
  const std::string text = (dir / ("tessvar_traffic_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".txt")).string();
  const std::string pcap = (dir / ("tessvar_traffic_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".pcap")).string();
  std::string error;
  ASSERT_TRUE(r.monitor.SaveText(text, error)) << error;
  std::string savedText;
  {
    std::ifstream in(text, std::ios::binary);  // closed before the file is removed (Windows)
    std::stringstream saved;
    saved << in.rdbuf();
    savedText = saved.str();
  }
  EXPECT_EQ(savedText, r.monitor.AllText());
  EXPECT_EQ(std::count(savedText.begin(), savedText.end(), '\n'), 4);  // title and three rows
  ASSERT_TRUE(r.monitor.SavePcap(pcap, error)) << error;
  EXPECT_EQ(std::filesystem::file_size(pcap), 24u + 3 * 16u + 3 * 42u + 8 + 8 + 7);
  std::filesystem::remove(text);
  std::filesystem::remove(pcap);
  EXPECT_FALSE(r.monitor.SaveText("/nonexistent/dir/x.txt", error));
  EXPECT_NE(error.find("/nonexistent/dir/x.txt"), std::string::npos);
}

}  // namespace
}  // namespace tessvar

namespace tessvar::test {
namespace {

TEST(TrendNumbers, PresentedTextsReadAsNumbers) {
  const std::vector<std::pair<std::string, std::optional<double>>> cases = {
      {"12.5", 12.5}, {"-0.031", -0.031}, {"1 500", 1500}, {"50000", 50000}, {"3,25", 3.25},
      {"", std::nullopt}, {"---", std::nullopt}, {"12.5 В", std::nullopt}, {"1e3", 1000},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParsePresentedNumber(text), expected) << text;
}

class WatchMenuTest : public MainWindowTest {};

TEST_F(WatchMenuTest, MenuItemsOpenTheWindowsTheProgramHas) {
  int traffic = 0, trend = 0;
  KrellonSeams seams;
  seams.enumerateSerialPorts = [] { return std::vector<std::string>{}; };
  seams.openTrafficMonitor = [&] { ++traffic; };
  seams.openTrend = [&] { ++trend; };
  dlg = std::make_unique<CKrellonDlg>(host, clock, store, std::move(seams));
  dlg->OnInitDialog();
  std::vector<std::string> texts;
  for (const auto& item : dlg->SystemMenu()) texts.push_back(item.text);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Обмен"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Тренд"), texts.end());
  dlg->OnSysCommand(idc::kTrafficCommand);
  dlg->OnSysCommand(idc::kTrendCommand);
  dlg->OnSysCommand(idc::kTrafficCommand);
  EXPECT_EQ(traffic, 2);
  EXPECT_EQ(trend, 1);
}

TEST_F(WatchMenuTest, WithoutTheWindowsNoItems) {
  Open();
  for (const auto& item : dlg->SystemMenu()) {
    EXPECT_NE(item.text, "Обмен");
    EXPECT_NE(item.text, "Тренд");
  }
  dlg->OnSysCommand(idc::kTrafficCommand);  // nothing to open, nothing happens
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace tessvar::test
