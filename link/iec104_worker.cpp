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

ConnectionLoop::ConnectionLoop(Iec104Session& session, TcpSocket& socket, Clock& clock,
                               WorkerShared& shared, std::function<void(SessionEvent&&)> onEvent)
    : session_(session),
      socket_(socket),
      clock_(clock),
      shared_(shared),
      onEvent_(std::move(onEvent)),
      buffer_(kReceiveBufferSize) {
  session_.Start();
}

bool ConnectionLoop::Pass(uint32_t maxWaitMs) {
  if (shared_.stopRequested && !stopSeen_) {
    stopSeen_ = true;
    session_.RequestStop();
  }
  if (shared_.clockSyncRequested.exchange(false)) session_.RequestClockSync();
  session_.Step();
  if (!SendAll(socket_, session_.TakeOutgoing())) session_.ConnectionLost();
  Deliver(session_, shared_, onEvent_);
  if (session_.Ended()) return false;

  uint64_t waitMs = maxWaitMs;
  if (const auto deadline = session_.NextDeadlineMs()) {
    const uint64_t now = clock_.MonotonicMs();
    waitMs = *deadline <= now ? 0 : std::min<uint64_t>(waitMs, *deadline - now);
  }
  const int ready = socket_.WaitReadable(static_cast<uint32_t>(waitMs));
  if (ready < 0) {
    session_.ConnectionLost();
    return true;  // the next pass delivers the end
  }
  if (ready == 0) return true;
  const Batch batch = Gather(socket_, buffer_);
  if (batch.count > 0) session_.Feed(std::span<const uint8_t>(buffer_.data(), batch.count));
  if (batch.peerClosed) session_.PeerClosed();
  if (batch.failed) session_.ConnectionLost();
  return true;
}

void ConnectionLoop::Finish(bool abandon) {
  if (!SendAll(socket_, session_.TakeOutgoing())) session_.ConnectionLost();
  if (!abandon) {
    // The station sees the end of our sending and may still answer; drain it, bounded.
    socket_.ShutdownSend();
    if (socket_.WaitReadable(kDrainWaitMs) > 0) socket_.Recv(buffer_);
  }
  if (!session_.Ended()) session_.ConnectionLost();
  Deliver(session_, shared_, onEvent_);
  shared_.MarkDone();
}

void RunConnection(Iec104Session& session, TcpSocket& socket, Clock& clock, WorkerShared& shared,
                   const std::function<void(SessionEvent&&)>& onEvent, std::stop_token stop) {
  ConnectionLoop loop(session, socket, clock, shared, onEvent);
  while (!stop.stop_requested() && loop.Pass(kWaitSliceMs)) {
  }
  loop.Finish(stop.stop_requested());
}

Iec104Worker::Iec104Worker(std::unique_ptr<Iec104Session> session, TcpSocket& socket, Clock& clock,
                           PostToWindow post, NoticeHandler onNotice, ConnectionThreading threading)
    : session_(std::move(session)),
      socket_(socket),
      clock_(clock),
      post_(std::move(post)),
      onNotice_(std::move(onNotice)),
      threading_(threading) {}

Iec104Worker::~Iec104Worker() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  if (loop_) loop_->Finish(true);
  *live_ = false;
}

std::function<void(SessionEvent&&)> Iec104Worker::Forwarder() const {
  return [post = post_, handler = onNotice_, live = live_](SessionEvent&& e) {
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
}

void Iec104Worker::Start() {
  if (thread_.joinable() || loop_ || shared_->done) return;
  if (threading_ == ConnectionThreading::WindowTurns) {
    loop_ = std::make_unique<ConnectionLoop>(*session_, socket_, clock_, *shared_, Forwarder());
    Turn();
    return;
  }
  thread_ = std::jthread([this, forward = Forwarder()](std::stop_token stop) {
    RunConnection(*session_, socket_, clock_, *shared_, forward, stop);
  });
}

bool Iec104Worker::PassOrFinish(uint32_t maxWaitMs) {
  if (!loop_) return false;
  if (loop_->Pass(maxWaitMs)) return true;
  loop_->Finish(false);
  loop_.reset();
  return false;
}

void Iec104Worker::Turn() {
  if (!PassOrFinish(kWaitSliceMs)) return;
  // The next turn comes after whatever the window has queued meanwhile.
  if (post_) post_([this, live = live_] {
    if (*live) Turn();
  });
}

bool Iec104Worker::StopTurns(Clock& windowClock) {
  shared_->stopRequested = true;
  for (int round = 0; round < kJoinRounds && PassOrFinish(kJoinRoundMs); ++round) windowClock.Yield();
  const bool orderly = loop_ == nullptr;
  if (loop_) loop_->Finish(true);
  loop_.reset();
  return orderly;
}

bool Iec104Worker::StopAndJoin(Clock& windowClock) {
  bool orderly = true;
  if (loop_) {
    orderly = StopTurns(windowClock);
  } else if (thread_.joinable()) {
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
