// Cross-check against an independent MODBUS implementation: a libmodbus slave on loopback
// TCP and on a pseudo-terminal answers our master, which must decode exactly the register
// values libmodbus serves and write exactly the values libmodbus stores.
#include <gtest/gtest.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "link/link_result.h"
#include "link/modbus_master.h"
#include "link/modbus_request.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"
#include "tests/link/loopback_server.h"

namespace tessvar {
namespace {

constexpr uint16_t kServed[] = {0x0000, 0x1234, 0xFFFF, 0x8001, 0x00FF, 0x7E57};

// Serves requests on ctx until the peer goes or nothing comes for 2 s.
void ServeLoop(modbus_t* ctx, modbus_mapping_t* map, int maxRequests) {
  modbus_set_indication_timeout(ctx, 2, 0);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  for (int i = 0; i < maxRequests; ++i) {
    const int rc = modbus_receive(ctx, query);
    if (rc == 0) continue;  // a request for another unit
    if (rc < 0) break;
    modbus_reply(ctx, query, rc, map);
  }
}

modbus_mapping_t* MakeMapping() {
  modbus_mapping_t* map = modbus_mapping_new(0, 0, 16, 16);
  for (size_t i = 0; i < std::size(kServed); ++i) map->tab_input_registers[i] = kServed[i];
  return map;
}

std::vector<uint8_t> ExpectedBytes(size_t from, size_t count) {
  std::vector<uint8_t> out;
  for (size_t i = from; i < from + count; ++i) {
    out.push_back(static_cast<uint8_t>(kServed[i] >> 8));
    out.push_back(static_cast<uint8_t>(kServed[i] & 0xFF));
  }
  return out;
}

TEST(LibmodbusCrossCheck, TcpSlaveAnswersOurRequests) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
  ASSERT_NE(ctx, nullptr);
  int listenFd = modbus_tcp_listen(ctx, 1);
  ASSERT_GE(listenFd, 0);
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  getsockname(listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
  const uint16_t port = ntohs(addr.sin_port);
  modbus_mapping_t* map = MakeMapping();
  std::thread slave([&] {
    pollfd p{listenFd, POLLIN, 0};
    if (poll(&p, 1, 5000) != 1) return;
    if (modbus_tcp_accept(ctx, &listenFd) < 0) return;
    ServeLoop(ctx, map, 10);
  });

  RealClock clock;
  CTcpLink link(MakePosixTcpSocket(), clock);
  CModbusMaster master(MakePosixSerialPort(), clock);
  master.SetTransactionCounter(0xFFFE);  // the counter wraps on the way
  ASSERT_TRUE(link.Create());
  ASSERT_EQ(link.ConnectWithTimeout({0x7F000001, port}), 0);
  std::vector<uint8_t> reply;

  master.SendReadInputRegisters(false, 1, 0, 6, &link);
  ASSERT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  std::vector<uint8_t> want{1, 4};
  const auto values = ExpectedBytes(0, 6);
  want.insert(want.end(), values.begin(), values.end());
  EXPECT_EQ(reply, want);

  master.SendReadInputRegisters(false, 1, 3, 1, &link);
  ASSERT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  EXPECT_EQ(reply, (std::vector<uint8_t>{1, 4, 0x80, 0x01}));

  const uint16_t write[] = {0x0A0B, 0xC0DE};
  master.SendWriteRegisters(false, 1, 5, write, &link);
  ASSERT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kGood);
  EXPECT_EQ(reply, (std::vector<uint8_t>{1, 16, 0, 5, 0, 2}));

  master.SendReadInputRegisters(false, 1, 15, 4, &link);  // beyond the map
  EXPECT_EQ(master.ReceiveRtu(reply, &link), LinkResult::kIllegalDataAddress);
  EXPECT_EQ(master.TransactionCounter(), 2);

  link.Close(true);
  slave.join();
  EXPECT_EQ(map->tab_registers[5], 0x0A0B);
  EXPECT_EQ(map->tab_registers[6], 0xC0DE);
  modbus_mapping_free(map);
  close(listenFd);
  modbus_close(ctx);
  modbus_free(ctx);
}

// Two pseudo-terminals joined back to back: libmodbus opens one, our port the other.
struct PtyBridge {
  int masterA = -1, slaveA = -1, masterB = -1, slaveB = -1;
  std::string nameA, nameB;
  std::atomic<bool> stop{false};
  std::thread relay;

  bool Start() {
    char a[64] = {}, b[64] = {};
    if (openpty(&masterA, &slaveA, a, nullptr, nullptr) != 0) return false;
    if (openpty(&masterB, &slaveB, b, nullptr, nullptr) != 0) return false;
    nameA = a;
    nameB = b;
    relay = std::thread([this] {
      for (int round = 0; round < 20000 && !stop; ++round) {
        pollfd p[2] = {{masterA, POLLIN, 0}, {masterB, POLLIN, 0}};
        if (poll(p, 2, 50) <= 0) continue;
        uint8_t buf[512];
        for (int i = 0; i < 2; ++i) {
          if (!(p[i].revents & POLLIN)) continue;
          const ssize_t n = read(p[i].fd, buf, sizeof buf);
          if (n > 0) (void)!write(i == 0 ? masterB : masterA, buf, static_cast<size_t>(n));
        }
      }
    });
    return true;
  }
  ~PtyBridge() {
    stop = true;
    if (relay.joinable()) relay.join();
    for (int fd : {slaveA, masterA, slaveB, masterB}) {
      if (fd >= 0) close(fd);
    }
  }
};

// Waits (bounded) until the first reply bytes are in, so the quiet-gap rule is not raced
// against the scheduler.
bool AwaitReply(CModbusMaster& master) {
  for (int i = 0; i < 2000; ++i) {
    if (master.Serial().Handle()->BytesQueued() > 0) return true;
    usleep(1000);
  }
  return false;
}

TEST(LibmodbusCrossCheck, RtuSlaveOnAPtyAnswersOurRequests) {
  PtyBridge bridge;
  ASSERT_TRUE(bridge.Start());
  modbus_t* ctx = modbus_new_rtu(bridge.nameA.c_str(), 19200, 'E', 8, 1);
  ASSERT_NE(ctx, nullptr);
  modbus_set_slave(ctx, 7);
  ASSERT_EQ(modbus_connect(ctx), 0);
  modbus_mapping_t* map = MakeMapping();
  std::thread slave([&] { ServeLoop(ctx, map, 3); });

  RealClock clock;
  CModbusMaster master(MakePosixSerialPort(), clock);
  ASSERT_TRUE(master.Serial().Open(bridge.nameB));
  ASSERT_TRUE(master.Serial().Configure("19200,E,8,1"));
  std::vector<uint8_t> reply;

  master.SendReadInputRegisters(false, 7, 1, 5);
  ASSERT_TRUE(AwaitReply(master));
  ASSERT_EQ(master.ReceiveRtu(reply), LinkResult::kGood);
  std::vector<uint8_t> want{7, 4};
  const auto values = ExpectedBytes(1, 5);
  want.insert(want.end(), values.begin(), values.end());
  EXPECT_EQ(reply, want);

  const uint16_t write[] = {0x1357};
  master.SendWriteRegisters(false, 7, 0, write);
  ASSERT_TRUE(AwaitReply(master));
  ASSERT_EQ(master.ReceiveRtu(reply), LinkResult::kGood);
  EXPECT_EQ(reply, (std::vector<uint8_t>{7, 16, 0, 0, 0, 1}));

  master.SendReadInputRegisters(false, 7, 20, 1);
  ASSERT_TRUE(AwaitReply(master));
  EXPECT_EQ(master.ReceiveRtu(reply), LinkResult::kIllegalDataAddress);

  master.Serial().Close();
  slave.join();
  EXPECT_EQ(map->tab_registers[0], 0x1357);
  modbus_mapping_free(map);
  modbus_close(ctx);
  modbus_free(ctx);
}

// The other way round: a libmodbus master's requests, taken apart by our request parser
// and answered with our reply builder; libmodbus must read back what we served.
TEST(LibmodbusCrossCheck, LibmodbusMasterRequestsParseOverTcp) {
  test::LoopbackServer server;
  std::vector<ModbusRequest> seen;
  server.Serve([&](int fd) {
    std::vector<uint8_t> pending;
    for (int round = 0; round < 50 && seen.size() < 2; ++round) {
      const auto got = test::LoopbackServer::ReadSome(fd, 1);
      if (got.empty()) break;
      pending.insert(pending.end(), got.begin(), got.end());
      const RequestParseResult r = ParseTcpRequest(pending);
      if (r.status == RequestStatus::Incomplete) continue;
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(r.consumed));
      if (r.status != RequestStatus::Complete) break;
      seen.push_back(r.request);
      std::vector<uint8_t> pdu;
      if (r.request.function == modbus_function::kReadInput) {
        std::vector<uint16_t> values;
        for (uint16_t i = 0; i < r.request.quantity; ++i) {
          values.push_back(static_cast<uint16_t>(0x1000 + r.request.start + i));
        }
        pdu = BuildReadRegistersPdu(r.request.function, values);
      } else {
        pdu = BuildWriteMultipleReplyPdu(r.request.start, r.request.quantity);
      }
      test::LoopbackServer::Send(fd, FrameTcp(r.request.transaction, r.request.unit, pdu));
    }
  });
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", server.Port());
  ASSERT_NE(ctx, nullptr);
  modbus_set_slave(ctx, 9);
  ASSERT_EQ(modbus_connect(ctx), 0);
  uint16_t got[3] = {};
  ASSERT_EQ(modbus_read_input_registers(ctx, 0x20, 3, got), 3);
  EXPECT_EQ(got[0], 0x1020);
  EXPECT_EQ(got[2], 0x1022);
  const uint16_t write[] = {0xBEEF, 0x0042};
  ASSERT_EQ(modbus_write_registers(ctx, 0x0100, 2, write), 2);
  modbus_close(ctx);
  modbus_free(ctx);
  server.Join();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].unit, 9);
  EXPECT_EQ(seen[0].function, 4);
  EXPECT_EQ(seen[0].start, 0x20);
  EXPECT_EQ(seen[0].quantity, 3);
  EXPECT_EQ(seen[1].function, 16);
  EXPECT_EQ(seen[1].start, 0x0100);
  EXPECT_EQ(seen[1].quantity, 2);
  EXPECT_EQ(seen[1].data, (std::vector<uint8_t>{0xBE, 0xEF, 0x00, 0x42}));
}

TEST(LibmodbusCrossCheck, LibmodbusMasterRequestsParseOverRtu) {
  PtyBridge bridge;
  ASSERT_TRUE(bridge.Start());
  RealClock clock;
  auto port = MakePosixSerialPort();
  ASSERT_TRUE(port->Open(bridge.nameB));
  SerialConfig config;
  config.baudRate = 9600;
  config.parity = SerialParity::Even;
  ASSERT_TRUE(port->Configure(config));
  std::atomic<bool> done{false};
  std::vector<ModbusRequest> seen;
  std::thread device([&] {
    std::vector<uint8_t> pending;
    for (int round = 0; round < 3000 && !done && seen.size() < 2; ++round) {
      uint8_t buf[300];
      const size_t n = port->BytesQueued() ? port->Read(buf) : 0;
      if (n == 0) {
        usleep(1000);
        continue;
      }
      pending.insert(pending.end(), buf, buf + n);
      const RequestParseResult r = ParseRtuRequest(pending, false);
      if (r.status == RequestStatus::Incomplete) continue;
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(r.consumed));
      if (r.status != RequestStatus::Complete) continue;
      seen.push_back(r.request);
      const uint16_t values[] = {0x0102, 0x0304};
      port->Write(FrameRtu(r.request.unit, BuildReadRegistersPdu(r.request.function, values)));
    }
  });
  modbus_t* ctx = modbus_new_rtu(bridge.nameA.c_str(), 9600, 'E', 8, 1);
  ASSERT_NE(ctx, nullptr);
  modbus_set_slave(ctx, 3);
  modbus_set_response_timeout(ctx, 2, 0);
  ASSERT_EQ(modbus_connect(ctx), 0);
  uint16_t got[2] = {};
  EXPECT_EQ(modbus_read_input_registers(ctx, 0x0500, 2, got), 2);
  EXPECT_EQ(got[0], 0x0102);
  EXPECT_EQ(got[1], 0x0304);
  done = true;
  device.join();
  modbus_close(ctx);
  modbus_free(ctx);
  ASSERT_GE(seen.size(), 1u);
  EXPECT_EQ(seen[0].unit, 3);
  EXPECT_EQ(seen[0].function, 4);
  EXPECT_EQ(seen[0].start, 0x0500);
  EXPECT_EQ(seen[0].quantity, 2);
}

}  // namespace
}  // namespace tessvar
