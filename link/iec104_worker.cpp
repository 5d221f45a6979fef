#include "link/iec104_worker.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

namespace tessvar::iec104 {
namespace {

// Sends every APDU whole; false when the socket refuses.
bool SendAll(TcpSocket& socket, const std::vector<std::vector<uint8_t>>& apdus) {
  for (const auto& apdu : apdus) {
    std::span<const uint8_t> rest(apdu);
    for (int attempt = 0; !rest.empty() && attempt < 8; ++attempt) {
      const long n = socket.Send(rest);
      if (n < 0) return false;
      rest = rest.subspan(static_cast<size_t>(n));
    }
    if (!rest.empty()) return false;
  }
  return true;
}

// One batch: what is readable now, at most one receive buffer; the rest stays queued in the
// socket for the next pass. No wait for more: a partial APDU waits in the session, so a
// wait here would only delay the data.
struct Batch {
  size_t count = 0;
  bool peerClosed = false;
  bool failed = false;
};

Batch Gather(TcpSocket& socket, std::span<uint8_t> buffer) {
  Batch b;
  while (b.count < buffer.size()) {
    const long n = socket.Recv(buffer.subspan(b.count));
    if (n == 0) {
      b.peerClosed = true;
      break;
    }
    if (n < 0) {
      b.failed = b.count == 0;  // readable but nothing to receive: the socket is broken
      break;
    }
    b.count += static_cast<size_t>(n);
    if (b.count < buffer.size() && socket.WaitReadable(kGatherWaitMs) <= 0) break;
  }
  return b;
}

void Deliver(Iec104Session& session, WorkerShared& shared,
             const std::function<void(SessionEvent&&)>& onEvent) {
  shared.clockSyncsConfirmed = session.ClockSyncsConfirmed();
  for (auto& e : session.TakeEvents()) {
    if (e.kind == SessionEvent::Kind::DataSet) shared.Publish(e.dataSet);
    if (e.kind == SessionEvent::Kind::Message) shared.SetEndMessage(e.text);
    if (e.kind == SessionEvent::Kind::Ended) {
      shared.endResult = e.result;
      shared.ended = true;
    }
    if (onEvent) onEvent(std::move(e));
  }
}

}  // namespace

void WorkerShared::Publish(std::shared_ptr<const DataSetSnapshot> snapshot) {
  std::lock_guard lock(mutex_);
  latest_ = std::move(snapshot);
}

void WorkerShared::SetEndMessage(std::string text) {
  std::lock_guard lock(mutex_);
  endMessage_ = std::move(text);
}

std::string WorkerShared::EndMessage() {
  std::lock_guard lock(mutex_);
  return endMessage_;
}

void WorkerShared::MarkDone() {
  {
    std::lock_guard lock(mutex_);
    done = true;
  }
  doneChanged_.notify_all();
}

bool WorkerShared::WaitDone(uint32_t ms) {
  std::unique_lock lock(mutex_);
  return doneChanged_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done.load(); });
}

std::shared_ptr<const DataSetSnapshot> WorkerShared::TakeDataSet() {
  std::lock_guard lock(mutex_);
  return std::exchange(latest_, nullptr);
}

void RunConnection(Iec104Session& session, TcpSocket& socket, Clock& clock, WorkerShared& shared,
                   const std::function<void(SessionEvent&&)>& onEvent, std::stop_token stop) {
  std::array<uint8_t, kReceiveBufferSize> buffer;
  session.Start();
  bool stopSeen = false;
  while (!stop.stop_requested()) {
    if (shared.stopRequested && !stopSeen) {
      stopSeen = true;
      session.RequestStop();
    }
    if (shared.clockSyncRequested.exchange(false)) session.RequestClockSync();
    session.Step();
    if (!SendAll(socket, session.TakeOutgoing())) session.ConnectionLost();
    Deliver(session, shared, onEvent);
    if (session.Ended()) break;

    uint64_t waitMs = kWaitSliceMs;
    if (const auto deadline = session.NextDeadlineMs()) {
      const uint64_t now = clock.MonotonicMs();
      waitMs = *deadline <= now ? 0 : std::min<uint64_t>(waitMs, *deadline - now);
    }
    const int ready = socket.WaitReadable(static_cast<uint32_t>(waitMs));
    if (ready < 0) {
      session.ConnectionLost();
      continue;
    }
    if (ready == 0) continue;
    const Batch batch = Gather(socket, buffer);
    if (batch.count > 0) session.Feed(std::span<const uint8_t>(buffer.data(), batch.count));
    if (batch.peerClosed) session.PeerClosed();
    if (batch.failed) session.ConnectionLost();
  }
  if (!SendAll(socket, session.TakeOutgoing())) session.ConnectionLost();
  if (!stop.stop_requested()) {
    // The station sees the end of our sending and may still answer; drain it, bounded.
    socket.ShutdownSend();
    if (socket.WaitReadable(kDrainWaitMs) > 0) socket.Recv(buffer);
  }
  if (!session.Ended()) session.ConnectionLost();
  Deliver(session, shared, onEvent);
  shared.MarkDone();
}

Iec104Worker::Iec104Worker(std::unique_ptr<Iec104Session> session, TcpSocket& socket, Clock& clock,
                           PostToWindow post, NoticeHandler onNotice)
    : session_(std::move(session)),
      socket_(socket),
      clock_(clock),
      post_(std::move(post)),
      onNotice_(std::move(onNotice)) {}

Iec104Worker::~Iec104Worker() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  *live_ = false;
}

void Iec104Worker::Start() {
  if (thread_.joinable()) return;
  auto forward = [post = post_, handler = onNotice_, live = live_](SessionEvent&& e) {
    if (!post || !handler) return;
    WorkerNotice notice;
    switch (e.kind) {
      case SessionEvent::Kind::DataSet: notice.kind = WorkerNotice::Kind::DataSet; break;
      case SessionEvent::Kind::Message: notice.kind = WorkerNotice::Kind::Message; break;
      case SessionEvent::Kind::Ended: notice.kind = WorkerNotice::Kind::Ended; break;
    }
    notice.text = std::move(e.text);
    notice.result = e.result;
    post([handler, live, notice = std::move(notice)] {
      if (*live) handler(notice);
    });
  };
  thread_ = std::jthread([this, forward = std::move(forward)](std::stop_token stop) {
    RunConnection(*session_, socket_, clock_, *shared_, forward, stop);
  });
}

bool Iec104Worker::StopAndJoin(Clock& windowClock) {
  bool orderly = true;
  if (thread_.joinable()) {
    shared_->stopRequested = true;
    for (int round = 0; round < kJoinRounds && !shared_->WaitDone(kJoinRoundMs); ++round) windowClock.Yield();
    orderly = shared_->done;
    if (!orderly) thread_.request_stop();  // every wait of the loop is a slice: it ends soon
    thread_.join();
  }
  *live_ = false;
  return orderly;
}

}  // namespace tessvar::iec104
