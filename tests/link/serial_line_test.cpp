#include "link/serial_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/memory_serial_port.h"
#include "platform/virtual_clock.h"
#include "tests/link/link_test_util.h"

namespace tessvar {
namespace {

TEST(SerialSettingsText, Table) {
  struct Case {
    const char* text;
    std::optional<SerialConfig> config;
  };
  const auto cfg = [](uint32_t baud, SerialParity p, uint8_t bits, SerialStopBits stop) {
    SerialConfig c;
    c.baudRate = baud;
    c.parity = p;
    c.dataBits = bits;
    c.stopBits = stop;
    return std::optional<SerialConfig>(c);
  };
  const Case cases[] = {
      {"19200,E,8,1", cfg(19200, SerialParity::Even, 8, SerialStopBits::One)},
      {" 19200 , E , 8 , 1 ", cfg(19200, SerialParity::Even, 8, SerialStopBits::One)},
      {"9600,НЕТ,7,2", cfg(9600, SerialParity::None, 7, SerialStopBits::Two)},
      {"9600,НЕЧЕТ,8,1", cfg(9600, SerialParity::Odd, 8, SerialStopBits::One)},
      {"9600, ЧЕТ, 8, 1.5", cfg(9600, SerialParity::Even, 8, SerialStopBits::OnePointFive)},
      {"64000,M,8,1", cfg(64000, SerialParity::Mark, 8, SerialStopBits::One)},
      {"1200,S,7,2", cfg(1200, SerialParity::Space, 7, SerialStopBits::Two)},
      {"9600,Odd,8,1", cfg(9600, SerialParity::Odd, 8, SerialStopBits::One)},
      {"9600,N,8", std::nullopt},
      {"9600,N81", std::nullopt},
      {"9600", std::nullopt},
      {"9600,X,8,1", std::nullopt},
      {"9600,,8,1", std::nullopt},
      {"9600,N,8,3", std::nullopt},
      {"9600,N,9,1", std::nullopt},
      {"fast,N,8,1", std::nullopt},
      {"0,N,8,1", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSerialSettingsText(c.text), c.config) << c.text;
}

struct LineFixture : ::testing::Test {
  VirtualClock clock;
  std::shared_ptr<MemorySerialPort::Line> wire = std::make_shared<MemorySerialPort::Line>();
  CSerialLine line{std::make_unique<MemorySerialPort>(clock, wire), clock};

  void Deliver(std::vector<uint8_t> bytes, uint32_t delayMs, uint32_t msPerByte = 0) {
    MemorySerialPort::Deliver(*wire, clock, bytes, delayMs, msPerByte);
  }
};

TEST_F(LineFixture, ConfigureOnlyWhenOpenAndAcceptedLeavesOldSettingsOtherwise) {
  EXPECT_FALSE(line.Configure("9600,N,8,1"));  // closed: nothing touched
  EXPECT_TRUE(wire->configured.empty());
  ASSERT_TRUE(line.Open("ttyUSB0"));
  ASSERT_TRUE(line.Configure("19200,E,8,1"));
  const SerialConfig before = *wire->config;
  EXPECT_FALSE(line.Configure("9600,N"));  // one comma
  wire->refusedRates = {56000};
  EXPECT_FALSE(line.Configure("56000,N,8,1"));  // driver refuses: reported, not ignored
  EXPECT_EQ(*wire->config, before);
  EXPECT_FALSE(before.dtr);
  EXPECT_TRUE(before.rts);
}

TEST_F(LineFixture, SilentLineReturnsNothingAfterTheGrace) {
  ASSERT_TRUE(line.Open("ttyS0"));
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  const uint64_t start = clock.MonotonicMs();
  EXPECT_EQ(line.CollectReply(buffer), 0u);
  EXPECT_EQ(clock.MonotonicMs() - start, 75u);
}

TEST_F(LineFixture, BurstsWithShortPausesAreOneReplyALongPauseEndsIt) {
  ASSERT_TRUE(line.Open("ttyS0"));
  Deliver({1, 2, 3}, 0);
  Deliver({4, 5}, 20);
  Deliver({6}, 40);
  Deliver({7, 8}, 110);  // after a quiet 25 ms step: the next reply
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  ASSERT_EQ(line.CollectReply(buffer), 6u);
  EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6), test::Bytes({1, 2, 3, 4, 5, 6}));
  clock.Advance(100);
  ASSERT_EQ(line.CollectReply(buffer), 2u);
  EXPECT_EQ(buffer[0], 7);
}

TEST_F(LineFixture, ChatteringLineStopsAtTheBufferSize) {
  ASSERT_TRUE(line.Open("ttyS0"));
  Deliver(std::vector<uint8_t>(12000, 0x55), 0, 10);  // never quiet for 25 ms
  std::vector<uint8_t> buffer(CSerialLine::kReplyBufferSize);
  EXPECT_EQ(line.CollectReply(buffer), CSerialLine::kReplyBufferSize);
  // Nothing written past the reply buffer and the surplus waits for the next collection.
  EXPECT_GT(wire->incoming.size(), 0u);
}

TEST_F(LineFixture, OversizeReplyArrivingAtOnceIsCutNotOverrun) {
  ASSERT_TRUE(line.Open("ttyS0"));
  Deliver(std::vector<uint8_t>(6000, 0xAA), 0);
  std::vector<uint8_t> small(100);
  EXPECT_EQ(line.CollectReply(small), 100u);
  EXPECT_EQ(wire->incoming.size(), 5900u);
}

TEST_F(LineFixture, VanishedAdapterIsNoticedAndReadsNothing) {
  ASSERT_TRUE(line.Open("ttyUSB0"));
  wire->failIo = true;
  std::vector<uint8_t> buffer(16);
  EXPECT_EQ(line.ReadAvailable(buffer), 0u);
  EXPECT_TRUE(line.HasIoError());
  EXPECT_FALSE(line.Write(test::Bytes({1})));
}

TEST_F(LineFixture, CloseIsIdempotentAndHandleFollowsTheState) {
  EXPECT_EQ(line.Handle(), nullptr);
  ASSERT_TRUE(line.Open("ttyS1"));
  EXPECT_NE(line.Handle(), nullptr);
  line.Close();
  line.Close();
  EXPECT_EQ(line.Handle(), nullptr);
  EXPECT_FALSE(line.Write(test::Bytes({1})));
}

}  // namespace
}  // namespace tessvar
