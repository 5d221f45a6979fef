// The termios port over a real pseudo-terminal pair: what the port sets is read back from
// the other side, and a peer that writes in pieces meets the quiet-gap rule.
#include "platform/posix/posix_serial_port.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "link/serial_line.h"
#include "platform/virtual_clock.h"
#include "tests/link/link_test_util.h"

namespace tessvar {
namespace {

struct Pty : ::testing::Test {
  int master = -1;
  int slave = -1;
  std::string shortName;  // "pts/N"

  void SetUp() override {
    char name[64] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    shortName = std::string(name).substr(5);  // without "/dev/"
  }
  void TearDown() override {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
  termios Seen() {
    termios t{};
    EXPECT_EQ(tcgetattr(master, &t), 0);
    return t;
  }
  // Writes as the far end and waits (bounded) until the bytes are readable on the line.
  void PeerWrite(const std::vector<uint8_t>& bytes) {
    int before = 0;
    ioctl(slave, FIONREAD, &before);
    ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    for (int i = 0; i < 1000; ++i) {
      int queued = 0;
      ioctl(slave, FIONREAD, &queued);
      if (queued >= before + static_cast<int>(bytes.size())) return;
      usleep(1000);
    }
    FAIL() << "bytes never arrived";
  }
  std::vector<uint8_t> PeerRead(size_t count) {
    std::vector<uint8_t> got;
    for (int i = 0; i < 100 && got.size() < count; ++i) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 1000) != 1) break;
      uint8_t buf[256];
      const ssize_t n = read(master, buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }
};

TEST_F(Pty, SettingsTextsAsTheOtherSideSeesThem) {
  VirtualClock clock;
  CSerialLine line(MakePosixSerialPort(), clock);
  ASSERT_TRUE(line.Open(shortName));

  // Recent kernels hold a pty at 8 bits without parity whatever is set, so parity and
  // data bits are checked through the settings text tests; rate, stop bits and raw mode
  // are what the other side can see.
  ASSERT_TRUE(line.Configure("19200, E, 8, 1"));
  termios t = Seen();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));  // raw
  EXPECT_FALSE(t.c_iflag & (IXON | ICRNL));
  EXPECT_FALSE(t.c_oflag & OPOST);

  ASSERT_TRUE(line.Configure("9600,НЕЧЕТ,7,2"));
  t = Seen();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_TRUE(t.c_cflag & CSTOPB);

  ASSERT_TRUE(line.Configure("1200,НЕТ,8,1.5"));  // 1.5 goes out as two stop bits
  t = Seen();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B1200));
  EXPECT_TRUE(t.c_cflag & CSTOPB);

  EXPECT_FALSE(line.Configure("4800,N"));  // malformed: untouched
  t = Seen();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B1200));
}

TEST_F(Pty, NonStandardRatesGoThroughTheCustomRateInterface) {
  VirtualClock clock;
  CSerialLine line(MakePosixSerialPort(), clock);
  ASSERT_TRUE(line.Open("/dev/" + shortName));  // a full path works too
  for (uint32_t rate : {14400u, 56000u, 64000u, 38400u}) {
    ASSERT_TRUE(line.Configure(std::to_string(rate) + ",N,8,1")) << rate;
    const auto seen = ReadTerminalConfig(master);
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->baudRate, rate);
    EXPECT_EQ(seen->dataBits, 8);
  }
}

TEST_F(Pty, SecondOpenOfTheSameLineIsRefused) {
  auto first = MakePosixSerialPort();
  auto second = MakePosixSerialPort();
  ASSERT_TRUE(first->Open(shortName));
  EXPECT_FALSE(second->Open(shortName));
  first->Close();
  EXPECT_TRUE(second->Open(shortName));
  EXPECT_FALSE(MakePosixSerialPort()->Open("no-such-port-here"));
  EXPECT_FALSE(MakePosixSerialPort()->Open("/dev/null"));  // not a terminal
}

TEST_F(Pty, WrittenFrameReachesThePeerUnchanged) {
  VirtualClock clock;
  CSerialLine line(MakePosixSerialPort(), clock);
  ASSERT_TRUE(line.Open(shortName));
  ASSERT_TRUE(line.Configure("19200,E,8,1"));
  const auto frame = test::Bytes({1, 4, 0, 0, 0, 2, 0x71, 0xCB, 0x0A, 0x0D});  // raw: no CR/LF games
  EXPECT_TRUE(line.Write(frame));
  line.WaitTransmitted();
  EXPECT_EQ(PeerRead(frame.size()), frame);
}

TEST_F(Pty, PeerWritingInPiecesIsGatheredByTheQuietGap) {
  VirtualClock clock;
  CSerialLine line(MakePosixSerialPort(), clock);
  ASSERT_TRUE(line.Open(shortName));
  ASSERT_TRUE(line.Configure("9600,N,8,1"));
  // The far end writes while the line sleeps between its reads (virtual time drives it).
  struct Piece {
    uint64_t atMs;
    std::vector<uint8_t> bytes;
    bool sent = false;
  };
  std::vector<Piece> pieces = {{10, {1, 2}}, {30, {3, 4, 5}}, {45, {6}}, {200, {7, 8}}};
  clock.AddListener([&](uint64_t now) {
    for (Piece& p : pieces) {
      if (!p.sent && p.atMs <= now) {
        p.sent = true;
        PeerWrite(p.bytes);
      }
    }
  });
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  ASSERT_EQ(line.CollectReply(buffer), 6u);  // 50 ms grace, then the pieces, then quiet
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6),
            test::Bytes({1, 2, 3, 4, 5, 6}));
  clock.Advance(150);
  ASSERT_EQ(line.CollectReply(buffer), 2u);  // the late piece waited in the queue
  EXPECT_EQ(buffer[1], 8);
}

TEST_F(Pty, PeerHangingUpIsSeenAsAnIoError) {
  auto port = MakePosixSerialPort();
  ASSERT_TRUE(port->Open(shortName));
  close(slave);
  slave = -1;
  close(master);
  master = -1;
  uint8_t buf[8];
  port->BytesQueued();
  port->Read(buf);
  EXPECT_TRUE(port->HasIoError());
}

}  // namespace
}  // namespace tessvar
