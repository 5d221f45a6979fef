// The tessvar-sim program as a user starts it, polled by mbpoll (an independent,
// libmodbus-based master) over loopback TCP and RTU on a pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "link/link_result.h"
#include "link/modbus_frames.h"

namespace {

std::string SimBinary() { return TESSVAR_SIM_PROGRAM; }
std::string Sample(const char* name) { return std::string(TESSVAR_SIM_SAMPLES) + "/" + name; }

std::string TempPath(const std::string& stem) {
  return ::testing::TempDir() + stem + "-" + std::to_string(::getpid());
}

// One tessvar-sim process: its first stdout line is read back; stderr goes to a file.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) : stderrPath_(TempPath("sim-stderr")) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      const int err = ::open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(err, 2);
      ::close(out[0]);
      std::vector<char*> argv;
      std::string bin = SimBinary();
      argv.push_back(bin.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(bin.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~SimProcess() {
    Stop();
    if (stdout_ >= 0) ::close(stdout_);
  }

  // The first line on stdout, waiting at most 5 s (real time, never asserted on).
  std::string FirstLine() {
    std::string line;
    for (int i = 0; i < 500 && stdout_ >= 0; ++i) {
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      char c;
      if (::read(stdout_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }

  // SIGTERM, then the exit status and everything written to stderr.
  int Stop() {
    if (pid_ <= 0) return status_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300; ++i) {  // at most 3 s, then force
      if (::waitpid(pid_, &status, WNOHANG) == pid_) break;
      ::usleep(10000);
      if (i == 299) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
    }
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::ifstream in(stderrPath_);
    std::stringstream ss;
    ss << in.rdbuf();
    stderr_ = ss.str();
    ::unlink(stderrPath_.c_str());
    return status_;
  }
  const std::string& Stderr() const { return stderr_; }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  int status_ = -1;
  std::string stderrPath_;
  std::string stderr_;
};

// Runs a shell command (bounded by `timeout`) and returns its stdout.
std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* f = ::popen(("timeout 20 " + command + " 2>&1").c_str(), "r");
  if (!f) return out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, f)) out += buf;
  ::pclose(f);
  return out;
}

// mbpoll prints "[ref]: \tvalue" lines.
std::map<int, int> MbpollValues(const std::string& text) {
  std::map<int, int> values;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    int ref = 0, value = 0;
    if (std::sscanf(line.c_str(), "[%d]: %d", &ref, &value) == 2) values[ref] = value;
  }
  return values;
}

std::string WriteValues(const std::map<int, int>& pins) {
  const std::string path = TempPath("sim-values") + ".json";
  std::ofstream out(path);
  out << "{";
  bool first = true;
  for (const auto& [a, v] : pins) {
    out << (first ? "" : ",") << "\"" << a << "\": " << v;
    first = false;
  }
  out << "}";
  return path;
}

bool HaveMbpoll() { return ::system("command -v mbpoll >/dev/null 2>&1") == 0; }

TEST(SimProcess, MbpollReadsPinnedAndLiveRegistersOverTcp) {
  if (!HaveMbpoll()) GTEST_SKIP() << "mbpoll is not installed";
  const std::string values = WriteValues({{0, 1234}, {1, 4321}, {0x0F, 5000}});
  SimProcess sim({"--dat", Sample("tcp-two-channel.dat"), "--tcp", "127.0.0.1:0", "--values", values,
                  "--verbose", "--seed", "3"});
  const std::string line = sim.FirstLine();
  ASSERT_EQ(line.rfind("listening 127.0.0.1:", 0), 0u) << line;
  const std::string port = line.substr(std::string("listening 127.0.0.1:").size());
  const auto out = RunCommand("mbpoll -m tcp -p " + port + " -a 1 -0 -r 0 -c 16 -t 3 -1 127.0.0.1");
  const auto got = MbpollValues(out);
  ASSERT_EQ(got.size(), 16u) << out;
  EXPECT_EQ(got.at(0), 1234);
  EXPECT_EQ(got.at(1), 4321);
  EXPECT_EQ(got.at(15), 5000);
  EXPECT_NEAR(got.at(7), 14850, 300);  // Uac1 near 0.99 × the nominal 150 V (code 15000)
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_NE(sim.Stderr().find("tcp unit=1 fn=4 start=0x0000 count=16 -> ok"), std::string::npos) << sim.Stderr();
  EXPECT_NE(sim.Stderr().find("requests 1, replies 1"), std::string::npos) << sim.Stderr();
  ::unlink(values.c_str());
}

TEST(SimProcess, MbpollReadsRtuOnAPseudoTerminalThroughTheLink) {
  if (!HaveMbpoll()) GTEST_SKIP() << "mbpoll is not installed";
  const std::string values = WriteValues({{0, 77}, {2, 99}});
  const std::string link = TempPath("ttyTESSVAR");
  SimProcess sim({"--dat", Sample("rtu-two-channel.dat"), "--pty", "--link", link, "--values", values});
  const std::string name = sim.FirstLine();
  ASSERT_EQ(name.rfind("/dev/pts/", 0), 0u) << name;
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(name, target);
  const auto out = RunCommand("mbpoll -m rtu -b 9600 -P none -d 8 -s 1 -a 1 -0 -r 0 -c 3 -t 3 -1 " + link);
  const auto got = MbpollValues(out);
  ASSERT_EQ(got.size(), 3u) << out;
  EXPECT_EQ(got.at(0), 77);
  EXPECT_EQ(got.at(2), 99);
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_NE(::access(link.c_str(), F_OK), 0) << "the symlink is removed at the end";
  ::unlink(values.c_str());
}

TEST(SimProcess, FaultFlagsAreCountedInTheSummary) {
  if (!HaveMbpoll()) GTEST_SKIP() << "mbpoll is not installed";
  SimProcess sim({"--dat", Sample("tcp-two-channel.dat"), "--tcp", "127.0.0.1:0", "--exception", "2:1"});
  const std::string line = sim.FirstLine();
  ASSERT_EQ(line.rfind("listening 127.0.0.1:", 0), 0u) << line;
  const std::string port = line.substr(std::string("listening 127.0.0.1:").size());
  const auto out = RunCommand("mbpoll -m tcp -p " + port + " -a 1 -0 -r 0 -c 2 -t 3 -1 127.0.0.1");
  EXPECT_NE(out.find("Illegal data address"), std::string::npos) << out;
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_NE(sim.Stderr().find("exception 1"), std::string::npos) << sim.Stderr();
}

TEST(SimProcess, ServesASerialDeviceInAsciiMode) {
  // A pseudo-terminal stands in for the RS-485 adapter; this test is the master on its far side.
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios t{};
  ::tcgetattr(slave, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(slave, TCSANOW, &t);
  const std::string values = WriteValues({{0, 0x1234}, {1, 0xABCD}});
  SimProcess sim({"--dat", Sample("rtu-two-channel.dat"), "--serial", name, "--mode", "ascii", "--address", "7", "--baud", "56000",
                  "--values", values, "--verbose"});
  const uint8_t quantity[] = {0, 2};
  std::vector<uint8_t> reply;
  std::vector<uint8_t> got;
  // The simulator may still be starting: ask again until it answers, at most 50 times.
  for (int attempt = 0; attempt < 50 && got.empty(); ++attempt) {
    const auto request = tessvar::BuildAsciiRequest(7, 4, 0, quantity);
    ASSERT_EQ(::write(master, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    for (int i = 0; i < 20; ++i) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) {
        if (!got.empty()) break;
        continue;
      }
      uint8_t buf[256];
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
  }
  // A request repeated while the simulator started may have two answers: take the first.
  if (auto lf = std::find(got.begin(), got.end(), '\n'); lf != got.end()) got.erase(lf + 1, got.end());
  ASSERT_EQ(tessvar::ParseAsciiReply(got, reply, {4, 2}), tessvar::LinkResult::kGood);
  EXPECT_EQ(reply, (std::vector<uint8_t>{7, 4, 0x12, 0x34, 0xAB, 0xCD}));
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_NE(sim.Stderr().find("ascii unit=7 fn=4"), std::string::npos) << sim.Stderr();
  ::close(master);
  ::close(slave);
  ::unlink(values.c_str());
}

TEST(SimProcess, RefusesBadArguments) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {{"--dat", Sample("tcp-two-channel.dat"), "--tcp", "127.0.0.1:0", "--fault", "bogus"}, 2, "unknown fault"},
      {{"--dat", Sample("tcp-two-channel.dat"), "--tcp", "localhost:0"}, 1, "not an IPv4 address"},
      {{"--dat", Sample("tcp-two-channel.dat"), "--link", "/tmp/x"}, 2, "--link needs --pty"},
      {{"--dat", Sample("../README.md"), "--tcp", "127.0.0.1:0"}, 1, "README.md"},
  };
  for (const auto& c : cases) {
    SimProcess sim(c.args);
    sim.FirstLine();
    // The process ends by itself; Stop only collects it.
    ::usleep(50000);
    EXPECT_EQ(sim.Stop(), c.status) << c.message;
    EXPECT_NE(sim.Stderr().find(c.message), std::string::npos) << sim.Stderr();
  }
}

}  // namespace
