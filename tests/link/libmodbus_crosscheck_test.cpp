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
#include "platform/posix/posix_serial_port.h"
#include "platform/posix/posix_tcp_socket.h"
#include "platform/posix/real_clock.h"

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
  std::thread slave([&] { ServeLoop(ctx, map, 4); });

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

}  // namespace
}  // namespace tessvar
