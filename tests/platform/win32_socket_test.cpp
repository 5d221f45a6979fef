// The Winsock client socket and the simulator's listener and streams over loopback: bytes
// both ways, end of stream, a refused connect, nothing-queued answers. Every wait is bounded
// and no test asserts a duration.
#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "platform/posix/stream_endpoint.h"
#include "platform/posix/tcp_listener.h"
#include "platform/win32/win32_tcp_socket.h"

namespace tessvar {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;

// A connected pair: our client socket and the listener's accepted stream.
struct Pair {
  std::unique_ptr<TcpListener> listener;
  std::unique_ptr<TcpSocket> client = MakeWin32TcpSocket();
  std::optional<StreamEndpoint> server;

  Pair() {
    std::string error;
    listener = TcpListener::Bind("127.0.0.1", 0, error);
    if (!listener) return;
    if (!client->Create() || !client->Connect(kLoopback, listener->Port(), 2000)) return;
    std::vector<bool> ready;
    const int fd = listener->Fd();
    for (int i = 0; i < 50 && !server; ++i) {
      WaitReadable(std::span(&fd, 1), 100, ready);
      server = listener->Accept();
    }
  }
};

std::vector<uint8_t> ReadFromServer(StreamEndpoint& s, size_t count) {
  std::vector<uint8_t> got;
  std::array<uint8_t, 64> buf{};
  std::vector<bool> ready;
  const int fd = s.Fd();
  for (int i = 0; i < 50 && got.size() < count; ++i) {
    WaitReadable(std::span(&fd, 1), 100, ready);
    const long n = s.ReadSome(buf);
    if (n < 0) break;
    got.insert(got.end(), buf.begin(), buf.begin() + n);
  }
  return got;
}

TEST(Win32TcpSocket, BytesBothWaysAndEndOfStream) {
  Pair p;
  ASSERT_TRUE(p.server.has_value());
  const std::vector<uint8_t> request{0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x00, 0x00, 0x02};
  EXPECT_EQ(p.client->Send(request), static_cast<long>(request.size()));
  EXPECT_EQ(ReadFromServer(*p.server, request.size()), request);

  std::array<uint8_t, 32> buf{};
  EXPECT_EQ(p.client->WaitReadable(0), 0) << "nothing sent yet";
  EXPECT_EQ(p.client->Recv(buf), -1) << "nothing queued is not the end of the stream";
  const std::vector<uint8_t> reply{0x00, 0x01, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x04, 0x12, 0x34, 0xAB, 0xCD};
  ASSERT_TRUE(p.server->WriteAll(reply));
  ASSERT_EQ(p.client->WaitReadable(2000), 1);
  std::vector<uint8_t> got;
  for (int i = 0; i < 50 && got.size() < reply.size(); ++i) {
    if (p.client->WaitReadable(100) != 1) continue;
    const long n = p.client->Recv(buf);
    ASSERT_GT(n, 0);
    got.insert(got.end(), buf.begin(), buf.begin() + n);
  }
  EXPECT_EQ(got, reply);

  p.server->Close();
  ASSERT_EQ(p.client->WaitReadable(2000), 1) << "the end of the stream is readable";
  EXPECT_EQ(p.client->Recv(buf), 0);
}

TEST(Win32TcpSocket, ServerSeesTheClientGo) {
  Pair p;
  ASSERT_TRUE(p.server.has_value());
  p.client->ShutdownSend();
  std::array<uint8_t, 8> buf{};
  long n = 0;
  std::vector<bool> ready;
  const int fd = p.server->Fd();
  for (int i = 0; i < 50 && n == 0; ++i) {
    WaitReadable(std::span(&fd, 1), 100, ready);
    n = p.server->ReadSome(buf);
  }
  EXPECT_EQ(n, -1);
}

TEST(Win32TcpSocket, RefusedAndInvalidUses) {
  std::string error;
  uint16_t freePort = 0;
  {
    auto listener = TcpListener::Bind("127.0.0.1", 0, error);
    ASSERT_TRUE(listener);
    freePort = listener->Port();
  }  // closed again: nobody listens there now
  auto s = MakeWin32TcpSocket();
  std::array<uint8_t, 4> buf{};
  EXPECT_FALSE(s->IsValid());
  EXPECT_FALSE(s->Connect(kLoopback, freePort, 500)) << "no socket yet";
  EXPECT_EQ(s->Send(buf), -1);
  EXPECT_EQ(s->Recv(buf), -1);
  EXPECT_EQ(s->WaitReadable(0), -1);
  ASSERT_TRUE(s->Create());
  EXPECT_FALSE(s->Connect(kLoopback, freePort, 2000)) << "refused";
  EXPECT_TRUE(s->IsValid()) << "the caller closes it";
  s->Close();
  EXPECT_FALSE(s->IsValid());
}

TEST(Win32TcpListener, RefusesWhatItCannotServe) {
  struct Case {
    const char* host;
    bool ok;
  } cases[] = {{"127.0.0.1", true}, {"localhost", false}, {"300.1.1.1", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    std::string error;
    auto listener = TcpListener::Bind(c.host, 0, error);
    EXPECT_EQ(listener != nullptr, c.ok) << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
    }
  }
  std::string error;
  auto first = TcpListener::Bind("127.0.0.1", 0, error);
  ASSERT_TRUE(first);
  EXPECT_FALSE(TcpListener::Bind("127.0.0.1", first->Port(), error)) << "the port is taken";
}

}  // namespace
}  // namespace tessvar
