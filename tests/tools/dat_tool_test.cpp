// Runs tessvar-dat as a user would, on the samples and on malformed files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tools/make_samples/sample_set.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string TempPath(const std::string& name) { return ::testing::TempDir() + "/tessvar-dat-" + name; }

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream o(path, std::ios::binary | std::ios::trunc);
  o.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

ToolRun RunTool(const std::vector<std::string>& args) {
  std::string cmd = std::string("'") + TESSVAR_DAT_EXE + "'";
  for (const auto& a : args) cmd += " '" + a + "'";
  const std::string errPath = TempPath("stderr.txt");
  cmd += " 2>'" + errPath + "'";
  ToolRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  for (size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) r.out.append(buf.data(), n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.err = Slurp(errPath);
  return r;
}

std::vector<std::string> SamplePaths() {
  std::vector<std::string> out;
  for (const auto& s : tessvar::samples::SampleSet()) {
    const std::string path = TempPath(s.fileName);
    WriteFile(path, tessvar::samples::WriteDescription(s.layout));
    out.push_back(path);
  }
  return out;
}

TEST(DatTool, JsonForEverySample) {
  const auto paths = SamplePaths();
  const ToolRun r = RunTool([&] {
    std::vector<std::string> a = {"--json"};
    a.insert(a.end(), paths.begin(), paths.end());
    return a;
  }());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::istringstream lines(r.out);
  std::vector<nlohmann::json> objs;
  for (std::string line; std::getline(lines, line);) objs.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objs.size(), paths.size());
  const auto set = tessvar::samples::SampleSet();
  for (size_t i = 0; i < objs.size(); ++i) {
    const auto& j = objs[i];
    EXPECT_EQ(j["file"], paths[i]);
    for (const char* key : {"protocol", "device_address", "serial_settings", "ip", "tcp_port", "entries", "divisors"}) {
      EXPECT_TRUE(j.contains(key)) << key;
    }
    EXPECT_EQ(j["entries"].size(), set[i].layout.records.size());
    EXPECT_EQ(j["entries"][0]["slot"], 0);  // every sample starts with Udc1
  }
  EXPECT_EQ(objs[0]["protocol"], "MODBUS RTU");
  EXPECT_EQ(objs[0]["serial_settings"], "9600,НЕТ,8,1");
  EXPECT_EQ(objs[0]["entries"][4]["slot"], nullptr);  // low word of a counter
  EXPECT_EQ(objs[0]["entries"][44]["name"], "Время (thm)");
  EXPECT_EQ(objs[1]["protocol"], "MODBUS TCP/IP");
  EXPECT_EQ(objs[1]["ip"], "127.0.0.1");
  EXPECT_EQ(objs[1]["tcp_port"], 1502);
  EXPECT_EQ(objs[2]["protocol"], "MODBUS ASCII");
  EXPECT_EQ(objs[2]["serial_settings"], "9600,ЧЕТ,7,1");
  EXPECT_EQ(objs[3]["protocol"], "МЭК-101");
  EXPECT_EQ(objs[3]["ip"], nullptr);
  EXPECT_EQ(objs[3]["entries"][3]["group"], 22);
  EXPECT_EQ(objs[4]["protocol"], "МЭК-104");
  EXPECT_EQ(objs[4]["device_address"], 0x0105);
  EXPECT_EQ(objs[4]["tcp_port"], 2404);
}

TEST(DatTool, TextReport) {
  const auto paths = SamplePaths();
  const ToolRun r = RunTool({paths[0]});
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("MODBUS RTU"), std::string::npos);
  EXPECT_NE(r.out.find("Напряжение DC (Udc1)"), std::string::npos);
  EXPECT_NE(r.out.find("channel 1 nominal: voltage 75, current 5.000"), std::string::npos);
  EXPECT_NE(r.out.find("slot none"), std::string::npos);
}

TEST(DatTool, EarlyEndIsReported) {
  auto bytes = tessvar::samples::WriteDescription(tessvar::samples::SampleSet()[1].layout);
  bytes.resize(bytes.size() - 10);  // inside the network section
  const std::string path = TempPath("short.dat");
  WriteFile(path, bytes);
  const ToolRun r = RunTool({"--json", path});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_TRUE(j["ended_early"].is_object());
  EXPECT_EQ(j["ended_early"]["not_given"][0], "TCP port");
  EXPECT_EQ(j["tcp_port"], nullptr);
  EXPECT_EQ(j["ip"], "127.0.0.1");
}

TEST(DatTool, MalformedFilesAreRefusedAndOthersStillReported) {
  const auto good = SamplePaths()[3];
  auto base = tessvar::samples::WriteDescription(tessvar::samples::SampleSet()[3].layout);
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string offset;
  } cases[] = {
      {"empty.dat", {}, "byte 0"},
      {"header.dat", std::vector<uint8_t>(base.begin(), base.begin() + 50), "byte 4"},
      {"count.dat", [&] { auto b = base; b[80] = 200; return b; }(), "byte "},
      {"qword.dat", [&] {
         std::vector<uint8_t> b(base.begin(), base.begin() + 81);
         for (uint8_t x : {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 0}) b.push_back(x);
         return b;
       }(), "byte 81"},
  };
  for (const auto& c : cases) {
    const std::string path = TempPath(c.name);
    WriteFile(path, c.bytes);
    const ToolRun r = RunTool({"--json", path, good});
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.offset), std::string::npos) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["protocol"], "МЭК-101") << c.name;
  }
  const ToolRun missing = RunTool({TempPath("no-such-file.dat")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no-such-file.dat"), std::string::npos);
}

}  // namespace
