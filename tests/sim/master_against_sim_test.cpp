// Our MODBUS master against the simulator over real loopback TCP and a real pseudo-terminal,
// for TCP, RTU and ASCII: what the master reads back is what the simulator serves.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "link/link_result.h"
#include "link/modbus_master.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "sim/main/sim_server.h"
#include "sim/main/sim_setup.h"

namespace tessvar::sim {
namespace {

std::string Sample(const char* name) { return std::string(TESSVAR_SIM_SAMPLES) + "/" + name; }

// The simulator on its own thread, every register of the description pinned to a value
// derived from its address so the expected bytes are known.
class RunningSim {
 public:
  RunningSim(const char* sample, ServerConfig config) {
    std::string error;
    EXPECT_TRUE(LoadProfile(Sample(sample), profile_, error)) << error;
    TransducerOptions options;
    for (const auto& e : profile_.load.description.entries) {
      const uint32_t a = ParseHexAddress(e.address);
      if (a <= 0xFFFF) options.pinned[static_cast<uint16_t>(a)] = Expected(static_cast<uint16_t>(a));
    }
    config.address = profile_.address;
    transducer_ = std::make_unique<Transducer>(clock_, profile_.load.description, options);
    server_ = std::make_unique<SimServer>(config, clock_, *transducer_, faults_, stats_);
    EXPECT_TRUE(server_->Open(error)) << error;
    thread_ = std::thread([this] { server_->Run(stop_, 20); });
  }
  ~RunningSim() {
    stop_ = true;
    thread_.join();
  }
  static uint16_t Expected(uint16_t address) { return static_cast<uint16_t>(address * 257 + 11); }

  // The description's runs of consecutive addresses, as the master polls them.
  std::vector<std::pair<uint16_t, uint16_t>> Blocks() const {
    std::vector<std::pair<uint16_t, uint16_t>> blocks;
    for (const auto& [address, source] : transducer_->Image().registers) {
      (void)source;
      if (!blocks.empty() && blocks.back().first + blocks.back().second == address) ++blocks.back().second;
      else blocks.push_back({address, 1});
    }
    return blocks;
  }

  SimServer& Server() { return *server_; }
  const SimProfile& Profile() const { return profile_; }
  SimStats& Stats() { return stats_; }

 private:
  RealClock clock_;
  SimProfile profile_;
  std::unique_ptr<Transducer> transducer_;
  FaultInjector faults_;
  SimStats stats_;
  std::unique_ptr<SimServer> server_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void ExpectBlock(const std::vector<uint8_t>& reply, uint16_t start, uint16_t count) {
  ASSERT_EQ(reply.size(), 2u + 2u * count);
  for (uint16_t k = 0; k < count; ++k) {
    const uint16_t v = static_cast<uint16_t>((reply[2 + 2 * k] << 8) | reply[3 + 2 * k]);
    EXPECT_EQ(v, RunningSim::Expected(static_cast<uint16_t>(start + k))) << "register " << start + k;
  }
}

TEST(MasterAgainstSim, ModbusTcpOverLoopback) {
  ServerConfig config;
  config.tcp = "127.0.0.1:0";
  RunningSim sim("tcp-two-channel.dat", config);
  RealClock clock;
  CModbusMaster master(MakePosixSerialPort(), clock);
  CTcpLink link(MakePosixTcpSocket(), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, sim.Server().TcpPort()}, 2000), 0);
  const auto blocks = sim.Blocks();
  ASSERT_FALSE(blocks.empty());
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [start, count] : blocks) {
      master.SendReadInputRegisters(false, sim.Profile().address, start, count, &link);
      std::vector<uint8_t> reply;
      ASSERT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
      ExpectBlock(reply, start, count);
    }
  }
  link.Close(true);
}

TEST(MasterAgainstSim, ClockWriteOverTcpSetsTheClockTheRegistersReport) {
  // Unpinned clock registers this time: the simulator's own clock answers.
  SimProfile profile;
  std::string error;
  ASSERT_TRUE(LoadProfile(Sample("tcp-two-channel.dat"), profile, error)) << error;
  RealClock clock;
  Transducer transducer(clock, profile.load.description, {});
  ASSERT_TRUE(transducer.Image().clockStart);
  const uint16_t tms = *transducer.Image().clockStart;
  FaultInjector faults;
  SimStats stats;
  ServerConfig config;
  config.tcp = "127.0.0.1:0";
  SimServer server(config, clock, transducer, faults, stats);
  ASSERT_TRUE(server.Open(error)) << error;
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Run(stop, 20); });

  CModbusMaster master(MakePosixSerialPort(), clock);
  CTcpLink link(MakePosixTcpSocket(), clock);
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, server.TcpPort()}, 2000), 0);
  // The description has no month-and-day column: 3 registers, 7 clock bytes (21:07:30.004,
  // Tuesday 15 September 2026).
  const uint8_t payload[] = {0, 3, 7, 0x75, 0x34, 21, 7, 26, 15, 2 * 32 + 9};
  master.SendRtu(1, 16, tms, payload, &link);
  std::vector<uint8_t> reply;
  ASSERT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  EXPECT_EQ(reply, (std::vector<uint8_t>{1, 16, static_cast<uint8_t>(tms >> 8), static_cast<uint8_t>(tms), 0, 3}));
  master.SendReadInputRegisters(false, 1, tms, 2, &link);
  ASSERT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  ASSERT_EQ(reply.size(), 6u);
  const int ms = (reply[2] << 8) | reply[3];
  EXPECT_GE(ms, 30004);  // the set time, run on by however long the exchange took
  EXPECT_LE(ms, 59999);
  EXPECT_EQ(reply[4], 21);
  EXPECT_EQ(reply[5], 7);
  link.Close(false);
  stop = true;
  serving.join();
}

TEST(MasterAgainstSim, TurnsAwayConnectionsBeyondItsLimit) {
  ServerConfig config;
  config.tcp = "127.0.0.1:0";
  RunningSim sim("tcp-two-channel.dat", config);
  RealClock clock;
  std::vector<std::unique_ptr<CTcpLink>> links;
  for (size_t i = 0; i <= SimServer::kMaxTcpConnections; ++i) {
    links.push_back(std::make_unique<CTcpLink>(MakePosixTcpSocket(), clock));
    ASSERT_TRUE(links.back()->Create());
    ASSERT_EQ(links.back()->ConnectWithTimeout({0x7F000001, sim.Server().TcpPort()}, 2000), 0);
    clock.Sleep(20);  // let the simulator accept in this order
  }
  CModbusMaster master(MakePosixSerialPort(), clock);
  std::vector<uint8_t> reply;
  // The first ones are served; the last one was closed by the simulator.
  master.SendReadInputRegisters(false, 1, 0, 2, links.front().get());
  EXPECT_EQ(master.ReceiveRtu(reply, links.front().get()), LinkResult::kGood);
  master.SendReadInputRegisters(false, 1, 0, 2, links.back().get());
  EXPECT_NE(master.ReceiveRtu(reply, links.back().get()), LinkResult::kGood);
  EXPECT_TRUE(links.back()->PeerClosed());
  for (auto& l : links) l->Close(false);
}

class MasterOverPty : public ::testing::TestWithParam<ModbusFraming> {};

TEST_P(MasterOverPty, ReadsEveryBlock) {
  const bool ascii = GetParam() == ModbusFraming::Ascii;
  ServerConfig config;
  config.pty = true;
  config.serialFraming = GetParam();
  RunningSim sim("rtu-two-channel.dat", config);
  RealClock clock;
  CModbusMaster master(MakePosixSerialPort(), clock);
  ASSERT_TRUE(master.Serial().Open(sim.Server().PtyName()));
  ASSERT_TRUE(master.Serial().Configure(ascii ? "9600,НЕТ,7,1" : "9600,НЕТ,8,1"));
  const auto blocks = sim.Blocks();
  ASSERT_GE(blocks.size(), 2u);  // the sample has a gap in its addresses
  for (const auto& [start, count] : blocks) {
    master.SendReadInputRegisters(ascii, sim.Profile().address, start, count);
    std::vector<uint8_t> reply;
    const LinkResult result = ascii ? master.ReceiveAscii(reply) : master.ReceiveRtu(reply);
    ASSERT_EQ(result, LinkResult::kGood) << "block at " << start;
    ExpectBlock(reply, start, count);
  }
  master.Serial().Close();
}

INSTANTIATE_TEST_SUITE_P(Framings, MasterOverPty, ::testing::Values(ModbusFraming::Rtu, ModbusFraming::Ascii),
                         [](const auto& info) { return info.param == ModbusFraming::Rtu ? "Rtu" : "Ascii"; });

}  // namespace
}  // namespace tessvar::sim
