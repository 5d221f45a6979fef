#include <filesystem>
#include <fstream>
#include <random>

#include "app/file_page.h"
#include "app/main_window_template.h"
#include "tests/app/app_fixture.h"

namespace tessvar::test {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_FALSE(bytes.empty()) << "sample missing: " << path;
  return bytes;
}

// Scratch files live in memory where the system offers it.
std::filesystem::path ScratchBase() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

class FilePageTest : public MainWindowTest {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = ScratchBase() / ("tessvar-load-" + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string WriteTemp(std::string_view name, std::span<const uint8_t> bytes) {
    const auto path = (dir_ / std::string(name)).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  // Opens the file page and presses "Открыть" with `answer` for the file dialog.
  Dialog& Load(std::optional<std::string> answer) {
    host.fileAnswers.push_back(std::move(answer));
    EXPECT_TRUE(D().UserClick(idc::kFileTab));
    Dialog& page = dlg->FilePage()->GetDialog();
    page.UserFocus(idc::kOpenButton);
    return page;
  }
  std::filesystem::path dir_;
};

struct SampleCase {
  const char* file;
  std::string_view protocol;
  std::string_view address;
  std::string_view serial;
  std::string_view current1, voltage1, current2, voltage2;
  std::optional<uint32_t> ip;
  std::vector<std::string> portList;  // empty: left as it was
  std::string_view portSelected;
};

const SampleCase kSamples[] = {
    {"rtu-two-channel.dat", "MODBUS RTU", "1", "9600,НЕТ,8,1", "5.000", "75", "10.000", "300",
     std::nullopt, {}, ""},
    {"ascii-dc.dat", "MODBUS ASCII", "2", "9600,ЧЕТ,7,1", "1.000", "30", "2.000", "75",
     std::nullopt, {}, ""},
    {"iec101.dat", "МЭК-101", "3", "9600,ЧЕТ,8,1", "5.000", "75", "5.000", "75", std::nullopt, {},
     ""},
    {"iec104.dat", "МЭК-104", "261", "9600,НЕТ,8,1", "5.000", "300", "5.000", "300", 0x7F000001,
     {"2404"}, "2404"},
    {"tcp-two-channel.dat", "MODBUS TCP/IP", "1", "9600,НЕТ,8,1", "5.000", "150", "5.000", "150",
     0x7F000001, {"1502", "502"}, "1502"},
};

TEST_F(FilePageTest, EachSampleSetsUpTheWindow) {
  for (const auto& c : kSamples) {
    SCOPED_TRACE(c.file);
    Open();
    configured.clear();
    host.fileDialogs.clear();
    host.messages.clear();
    Dialog& page = Load(SamplePath(c.file));
    EXPECT_TRUE(page.Ended());
    EXPECT_EQ(dlg->FilePage(), nullptr);
    EXPECT_TRUE(host.messages.empty()) << host.LastMessageText();
    ASSERT_EQ(host.fileDialogs.size(), 1u);
    EXPECT_EQ(host.fileDialogs[0].filter.pattern, "*.dat");

    EXPECT_EQ(D().SelectedText(idc::kProtocolList), c.protocol);
    EXPECT_EQ(D().Text(idc::kDeviceAddress), c.address);
    EXPECT_EQ(std::to_string(D().SpinPos(idc::kDeviceAddressSpin)), c.address);
    EXPECT_EQ(BuildSerialSettingsText(dlg->Settings().serial), c.serial);
    ASSERT_FALSE(configured.empty());
    EXPECT_EQ(configured.front(), c.serial);
    EXPECT_EQ(D().Text(idc::kNominalCurrent1), c.current1);
    EXPECT_EQ(D().SelectedText(idc::kNominalVoltage1), c.voltage1);
    EXPECT_EQ(D().Text(idc::kNominalCurrent2), c.current2);
    EXPECT_EQ(D().SelectedText(idc::kNominalVoltage2), c.voltage2);
    if (c.ip) {
      EXPECT_EQ(D().Ipv4(idc::kIpAddress), *c.ip);
      EXPECT_EQ(dlg->Settings().ipAddress, *c.ip);
      EXPECT_TRUE(D().IsEnabled(idc::kIpAddress));
    }
    if (!c.portList.empty()) {
      EXPECT_EQ(D().Items(idc::kPortList), c.portList);
      EXPECT_EQ(D().SelectedText(idc::kPortList), c.portSelected);
    }
    EXPECT_EQ(D().Title(), "Tessvar (" + std::string(c.file) + ")");
    EXPECT_FALSE(dlg->Description().entries.empty());
    EXPECT_EQ(dlg->Description().fileName, c.file);
    // The marks follow the entries: slot 4 is the second half of a counter, never found.
    EXPECT_EQ(dlg->Marks()[4], 0);
    EXPECT_EQ(dlg->Marks()[0], 1);
    EXPECT_EQ(D().State(1153).backColor.has_value(), dlg->Marks()[3] == 0);
    EXPECT_EQ(D().State(1045).backColor.has_value(), dlg->Marks()[7] == 0);
  }
}

TEST_F(FilePageTest, LoadingTheSameFileTwiceKeepsTheTitle) {
  Open();
  Load(SamplePath("iec101.dat"));
  Load(SamplePath("iec101.dat"));
  EXPECT_EQ(D().Title(), "Tessvar (iec101.dat)");
  Load(SamplePath("ascii-dc.dat"));
  EXPECT_EQ(D().Title(), "Tessvar (ascii-dc.dat)");
}

TEST_F(FilePageTest, CancelRecomputesMarksAndTitleFromTheDescriptionLoaded) {
  Open();
  Load(SamplePath("tcp-two-channel.dat"));
  EXPECT_EQ(dlg->Settings().descriptionTcpPort, 1502);
  dlg->Marks()[0] = 0;
  Dialog& page = Load(std::nullopt);
  EXPECT_TRUE(page.Ended());
  EXPECT_EQ(dlg->Settings().descriptionTcpPort, 0);
  EXPECT_EQ(dlg->Marks()[0], 1);
  EXPECT_EQ(D().Title(), "Tessvar (tcp-two-channel.dat)");
  EXPECT_EQ(dlg->Description().entries.size(), 44u);
}

TEST_F(FilePageTest, AFileThatCannotBeOpenedIsReportedAndNamedInTheTitle) {
  Open();
  Load(SamplePath("iec101.dat"));
  Load((dir_ / "missing.dat").string());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Не могу создать файл ");
  EXPECT_EQ(host.messages[0].caption, "Ой");
  EXPECT_EQ(host.messages[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(D().Title(), "Tessvar (missing.dat)");
  EXPECT_EQ(dlg->Description().entries.size(), 8u) << "the previous entries stay";
}

TEST_F(FilePageTest, AFileEndingBeforeTheProtocolCodeLeavesNoHalfDescription) {
  Open();
  Load(SamplePath("iec101.dat"));
  const auto bytes = ReadAll(SamplePath("rtu-two-channel.dat"));
  const auto path = WriteTemp("short.dat", std::span(bytes).first(200));
  Dialog& page = Load(path);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Attempted to access an unnamed file past its end.");
  EXPECT_FALSE(page.Ended()) << "the page stays open after the error";
  EXPECT_FALSE(dlg->FilePage()->Loading());
  EXPECT_TRUE(dlg->Description().entries.empty()) << "a start must not poll half a file";
  EXPECT_EQ(D().Title(), "Tessvar (iec101.dat)") << "title and marks stay";
  // Leaving the page afterwards closes it without another load.
  D().UserFocus(idc::kPollPeriod);
  page.UserFocus(-1);
  EXPECT_TRUE(page.Ended());
  EXPECT_EQ(host.fileDialogs.size(), 2u);
}

TEST_F(FilePageTest, AFileEndingAfterTheProtocolCodeIsTakenQuietly) {
  Open();
  const auto bytes = ReadAll(SamplePath("iec101.dat"));
  // Header (81 bytes) and eight records, then address, serial byte, reserved, variant,
  // protocol code: find the cut by loading ever longer prefixes until no message appears.
  size_t quiet = 0;
  for (size_t n = 81; n <= bytes.size() && quiet == 0; ++n) {
    host.messages.clear();
    Load(WriteTemp("cut.dat", std::span(bytes).first(n)));
    if (host.messages.empty()) quiet = n;
    else if (dlg->FilePage()) {
      D().UserFocus(idc::kPollPeriod);
      dlg->FilePage()->GetDialog().UserFocus(-1);
    }
  }
  ASSERT_GT(quiet, 0u);
  EXPECT_EQ(dlg->Description().entries.size(), 8u);
  EXPECT_EQ(D().Title(), "Tessvar (cut.dat)");
}

TEST_F(FilePageTest, EveryTruncationAndCorruptionIsHandledWithoutACrash) {
  Open();
  for (const char* sample : {"iec104.dat", "ascii-dc.dat"}) {
    auto bytes = ReadAll(SamplePath(sample));
    for (size_t n = 0; n <= bytes.size(); ++n) {
      SCOPED_TRACE(n);
      host.messages.clear();
      Dialog& page = Load(WriteTemp("t.dat", std::span(bytes).first(n)));
      if (!host.messages.empty()) {
        EXPECT_TRUE(dlg->Description().entries.empty());
        EXPECT_FALSE(page.Ended());
        D().UserFocus(idc::kPollPeriod);
        page.UserFocus(-1);
      }
      EXPECT_TRUE(page.Ended());
    }
    // Every byte flipped to 0xFF in turn: lengths of 255 and long forms at every place.
    for (size_t i = 0; i < bytes.size(); ++i) {
      auto bad = bytes;
      bad[i] = 0xFF;
      Dialog& page = Load(WriteTemp("f.dat", bad));
      if (!page.Ended()) {
        D().UserFocus(idc::kPollPeriod);
        page.UserFocus(-1);
      }
    }
  }
}

TEST_F(FilePageTest, AReducedVariantWithdrawsItsQuantities) {
  Open();
  auto bytes = ReadAll(SamplePath("rtu-two-channel.dat"));
  Load(SamplePath("rtu-two-channel.dat"));
  EXPECT_EQ(dlg->Marks()[0], 1);
  // The variant byte follows address, serial byte and reserved byte after the records; the
  // reader tells where the records end by its own reading, so patch through a reload.
  DescriptionLoad probe = ReadDeviceDescription(bytes, DeviceDescription{}, LoadOptions{});
  ASSERT_FALSE(probe.error);
  // Search the variant byte: the only position whose change moves deviceVariant.
  for (size_t i = 81; i < bytes.size(); ++i) {
    auto patched = bytes;
    patched[i] = 0x20;
    DescriptionLoad l = ReadDeviceDescription(patched, DeviceDescription{}, LoadOptions{});
    if (l.error || l.description.deviceVariant != 0x20) continue;
    Load(WriteTemp("v32.dat", patched));
    break;
  }
  ASSERT_EQ(dlg->Description().deviceVariant, 0x20);
  for (int slot : {0, 1, 2, 3, 7, 11, 12, 13, 15, 16, 17, 19, 21, 23, 24, 30, 37})
    EXPECT_EQ(dlg->Marks()[static_cast<size_t>(slot)], 0) << slot;
  EXPECT_EQ(dlg->Marks()[8], 1);
  EXPECT_TRUE(D().State(1031).backColor.has_value()) << "Udc1 is drawn black";
  EXPECT_FALSE(D().State(1039).backColor.has_value());
}

}  // namespace
}  // namespace tessvar::test
