#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "app/stored_port.h"
#include "platform/posix/file_settings_store.h"
#include "tests/app/memory_settings_store.h"

namespace tessvar::test {
namespace {

const std::vector<uint8_t> kNoPortBytes{0xCD, 0xC5, 0xD2, 0x00};  // "НЕТ" in Windows-1251

struct StoredCase {
  const char* name;
  std::optional<MemorySettingsStore::Value> stored;
  std::string portText;
  bool rewritten;
};

std::vector<uint8_t> Bytes(std::string_view s, bool zero = true) {
  std::vector<uint8_t> v(s.begin(), s.end());
  if (zero) v.push_back(0);
  return v;
}

const StoredCase kStoredCases[] = {
    {"Missing", std::nullopt, "НЕТ", true},
    {"Present", MemorySettingsStore::Value{StoreValueType::String, Bytes("COM3")}, "COM3", false},
    {"NineCharacters", MemorySettingsStore::Value{StoreValueType::String, Bytes("/dev/ttyS")},
     "/dev/ttyS", false},
    {"TenCharacters", MemorySettingsStore::Value{StoreValueType::String, Bytes("/dev/ttyS0")},
     "НЕТ", true},
    {"Numeric", MemorySettingsStore::Value{StoreValueType::Dword, {3, 0, 0, 0}}, "НЕТ", true},
    {"Unterminated", MemorySettingsStore::Value{StoreValueType::String, Bytes("COM3", false)},
     "НЕТ", true},
    {"Empty", MemorySettingsStore::Value{StoreValueType::String, Bytes("")}, "", false},
    {"ExpandString", MemorySettingsStore::Value{StoreValueType::ExpandString, Bytes("COM4")},
     "COM4", false},
    {"MultiString",
     MemorySettingsStore::Value{StoreValueType::MultiString, {'C', 'O', 'M', '5', 0, 0}}, "COM5",
     false},
    {"MultiStringOneZero",
     MemorySettingsStore::Value{StoreValueType::MultiString, {'C', 'O', 'M', '5', 0}}, "НЕТ", true},
    {"Cyrillic", MemorySettingsStore::Value{StoreValueType::String, kNoPortBytes}, "НЕТ", false},
    {"StopsAtZero", MemorySettingsStore::Value{StoreValueType::String, {'C', 'O', 'M', '2', 0, 'X', 0}},
     "COM2", false},
};

TEST(ReadStoredPort, ReadRewriteRules) {
  for (const auto& c : kStoredCases) {
    SCOPED_TRACE(c.name);
    MemorySettingsStore store;
    if (c.stored) store.keys["Software\\Dorvaint"]["COM port"] = *c.stored;
    EXPECT_EQ(ReadStoredPort(store, "НЕТ"), c.portText);
    EXPECT_EQ(store.writes, c.rewritten ? 1 : 0);
    const auto& v = store.keys["Software\\Dorvaint"]["COM port"];
    if (c.rewritten) {
      EXPECT_EQ(v.type, StoreValueType::String);
      EXPECT_EQ(v.data, kNoPortBytes);
    }
    EXPECT_EQ(store.openKeys, 0);
  }
}

TEST(ReadStoredPort, UnopenableStoreKeepsTheCurrentText) {
  MemorySettingsStore store;
  store.refuseOpen = true;
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
  EXPECT_EQ(store.writes, 0);
}

TEST(ReadStoredPort, UnwritableStoreWithABadValueFallsBackToCom1) {
  MemorySettingsStore store;
  store.refuseWrite = true;
  store.keys["Software\\Dorvaint"]["COM port"] = {StoreValueType::Dword, {1, 0, 0, 0}};
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "COM1");
  MemorySettingsStore empty;
  empty.refuseWrite = true;
  EXPECT_EQ(ReadStoredPort(empty, "НЕТ"), "COM1");
}

class FileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("tessvar-store-" + std::to_string(rd()) + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string FilePath() const { return (dir_ / "tessvar" / "settings.reg").string(); }
  void WriteFile(const std::string& text) {
    std::filesystem::create_directories(dir_ / "tessvar");
    std::ofstream(FilePath(), std::ios::binary) << text;
  }
  std::string ReadFile() const {
    std::ifstream in(FilePath(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::filesystem::path dir_;
};

TEST_F(FileStoreTest, FirstStartCreatesKeyAndValueWithTheCodePageBytes) {
  FileSettingsStore store(FilePath());
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
  const std::string text = ReadFile();
  EXPECT_NE(text.find("[Software\\Dorvaint]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"COM port\"=hex(1):cd,c5,d2,00"), std::string::npos) << text;
  // A second start reads it back unchanged.
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
  EXPECT_EQ(ReadFile(), text);
}

TEST_F(FileStoreTest, AValuePutThereByHandIsPreselectedAndOthersKept) {
  WriteFile("[Software\\Other]\n\"x\"=dword:0000002a\n[software\\dorvaint]\n\"COM port\"=\"COM3\"\n");
  FileSettingsStore store(FilePath());
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "COM3");
  auto key = store.OpenOrCreateKey("Software\\Other");
  ASSERT_NE(key, nullptr);
  const StoreRead r = key->Query("x", 4);
  EXPECT_EQ(r.status, StoreStatus::Ok);
  EXPECT_EQ(r.type, StoreValueType::Dword);
  EXPECT_EQ(r.data, (std::vector<uint8_t>{42, 0, 0, 0}));
}

TEST_F(FileStoreTest, CorruptOversizeOrMistypedValuesAreReplacedNeverTrusted) {
  const std::string cases[] = {
      "[Software\\Dorvaint]\n\"COM port\"=hex(1):43,4f,4d,31,32,33,34,35,36,37,00\n",
      "[Software\\Dorvaint]\n\"COM port\"=dword:00000003\n",
      "[Software\\Dorvaint]\n\"COM port\"=hex(1):zz,00\n",
      "[Software\\Dorvaint]\n\"COM port\"=hex(1):43,4f,4d\n",
      "[Software\\Dorvaint\n\"COM port\"=hex(1):43,00\n",
      "[Software\\Dorvaint]\n\"COM port=hex(1):43,00\n",
      std::string("\0\xff\x01[\n", 5),
  };
  for (const auto& text : cases) {
    SCOPED_TRACE(text);
    WriteFile(text);
    FileSettingsStore store(FilePath());
    EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
    EXPECT_NE(ReadFile().find("\"COM port\"=hex(1):cd,c5,d2,00"), std::string::npos);
  }
}

TEST_F(FileStoreTest, LongHexLinesMayContinueOnTheNextLine) {
  WriteFile("[Software\\Dorvaint]\n\"COM port\"=hex(1):43,\\\n  4f,\\\n  4d,37,00\n");
  FileSettingsStore store(FilePath());
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "COM7");
}

TEST_F(FileStoreTest, EveryValueSurvivesARewriteByteForByte) {
  const std::vector<uint8_t> multi{'a', 0, 'b', 0, 0};
  const std::vector<uint8_t> odd{0x00, 0xff, 0x5c, 0x22};
  {
    FileSettingsStore store(FilePath());
    auto key = store.OpenOrCreateKey("Software\\Dorvaint");
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(key->SetValue("multi", StoreValueType::MultiString, multi));
    ASSERT_TRUE(key->SetValue("odd \"name\"", static_cast<StoreValueType>(11), odd));
    ASSERT_TRUE(key->SetValue("n", StoreValueType::Dword, std::vector<uint8_t>{1, 2, 3, 4}));
  }
  FileSettingsStore again(FilePath());
  auto key = again.OpenOrCreateKey("Software\\Dorvaint");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Query("multi", 10).data, multi);
  const StoreRead r = key->Query("ODD \"NAME\"", 10);  // names ignore letter case
  EXPECT_EQ(r.type, static_cast<StoreValueType>(11));
  EXPECT_EQ(r.data, odd);
  EXPECT_EQ(key->Query("n", 4).data, (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(key->Query("multi", 4).status, StoreStatus::MoreData);
  EXPECT_EQ(key->Query("none", 4).status, StoreStatus::NotFound);
}

TEST_F(FileStoreTest, UnwritableStoreLeavesThePortTextAlone) {
  // A regular file where the folder should be: nothing can be created under it.
  std::ofstream(dir_ / "blocker") << "x";
  FileSettingsStore store((dir_ / "blocker" / "tessvar" / "settings.reg").string());
  EXPECT_EQ(store.OpenOrCreateKey("Software\\Dorvaint"), nullptr);
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
}

TEST_F(FileStoreTest, AFileTooLargeIsRefusedRatherThanRead) {
  WriteFile(std::string(FileSettingsStore::kMaxFileBytes + 1, ';'));
  FileSettingsStore store(FilePath());
  EXPECT_EQ(store.OpenOrCreateKey("Software\\Dorvaint"), nullptr);
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "НЕТ");
}

TEST_F(FileStoreTest, AReadOnlyStoreWithAGoodValueStillReads) {
  WriteFile("[Software\\Dorvaint]\n\"COM port\"=hex(1):43,4f,4d,39,00\n");
  FileSettingsStore store(FilePath());
  EXPECT_EQ(ReadStoredPort(store, "НЕТ"), "COM9");
}

TEST(FileSettingsStorePath, FollowsXdgConfigHome) {
  const std::string path = FileSettingsStore::DefaultPath();
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    EXPECT_EQ(path, std::string(xdg) + "/tessvar/settings.reg");
  } else if (const char* home = std::getenv("HOME")) {
    EXPECT_EQ(path, std::string(home) + "/.config/tessvar/settings.reg");
  }
  FileSettingsStore none("");
  EXPECT_EQ(none.OpenOrCreateKey("Software\\Dorvaint"), nullptr);
}

}  // namespace
}  // namespace tessvar::test
