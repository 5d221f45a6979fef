#pragma once
// Iec104Worker: the connection thread of one IEC 60870-5-104 run. A thin std::jthread around
// an Iec104Session: it waits on the socket, feeds the session, sends what it says and hands
// its events over. It owns the borrowed socket's traffic until it ends; the owner closes the
// socket only after Join.
//
// What crosses threads: requests from the window (orderly stop, clock synchronisation) are
// atomics; the completed image is an immutable snapshot behind a mutex; everything the
// window must do (a message box, a poll tick, the end of the connection) is a closure given
// to the window's Post. The worker never waits for the window, so the window may wait for it
// (bounded) while it holds posted closures back.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "link/iec104_session.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"

namespace tessvar::iec104 {

// Runs a closure on the window thread (WindowHost::Post); callable from any thread.
using PostToWindow = std::function<void(std::function<void()>)>;

// What the worker tells the window, on the window thread.
struct WorkerNotice {
  enum class Kind : uint8_t { DataSet, Message, Ended } kind = Kind::DataSet;
  std::string text;    // Message: the message box text
  LinkResult result = LinkResult::kGood;  // Ended: what the run reports
};
using NoticeHandler = std::function<void(const WorkerNotice&)>;

inline constexpr uint32_t kWaitSliceMs = 100;   // longest blocking wait before stop is seen
inline constexpr uint32_t kGatherWaitMs = 0;    // a batch is what is readable now; a partial APDU waits in the session
inline constexpr uint32_t kDrainWaitMs = 200;   // after shutdown, what the station still sends
inline constexpr int kJoinRounds = 51;          // the window's wait: 51 x 100 ms
inline constexpr uint32_t kJoinRoundMs = 100;

// The state the connection loop and the window share.
class WorkerShared {
 public:
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> clockSyncRequested{false};
  std::atomic<uint32_t> clockSyncsConfirmed{0};
  std::atomic<bool> done{false};
  std::atomic<bool> ended{false};
  std::atomic<LinkResult> endResult{LinkResult::kGood};

  void Publish(std::shared_ptr<const DataSetSnapshot> snapshot);
  void MarkDone();
  // Waits at most `ms` for the end of the connection loop; true once it has ended.
  bool WaitDone(uint32_t ms);
  // The data set completed since the last take, if any (the new-data flag and the array).
  std::shared_ptr<const DataSetSnapshot> TakeDataSet();
  void SetEndMessage(std::string text);
  std::string EndMessage();

 private:
  std::mutex mutex_;
  std::condition_variable doneChanged_;
  std::shared_ptr<const DataSetSnapshot> latest_;
  std::string endMessage_;
};

// The connection loop in passes, so that it runs the same on a thread of its own and in turns
// on another thread's loop. It never closes the socket.
class ConnectionLoop {
 public:
  // Asks for data transfer at once.
  ConnectionLoop(Iec104Session& session, TcpSocket& socket, Clock& clock, WorkerShared& shared,
                 std::function<void(SessionEvent&&)> onEvent);
  // One pass: the window's requests reach the session, time passes for it, its APDUs go out
  // and its events are delivered; then the socket is waited on at most `maxWaitMs` (less when
  // a deadline of the session comes first) and what came is fed in. False once the session
  // has ended: Finish is due.
  bool Pass(uint32_t maxWaitMs);
  // The end. Orderly: what is queued goes out, the socket is shut down for sending and
  // drained, bounded. `abandon`: no goodbye. Sets shared.done last.
  void Finish(bool abandon);

 private:
  Iec104Session& session_;
  TcpSocket& socket_;
  Clock& clock_;
  WorkerShared& shared_;
  std::function<void(SessionEvent&&)> onEvent_;
  bool stopSeen_ = false;
  std::vector<uint8_t> buffer_;
};

// The connection loop, on whatever thread calls it: until the session ends, the socket fails
// or `stop` is requested (then without goodbye). Sets shared.done last.
void RunConnection(Iec104Session& session, TcpSocket& socket, Clock& clock, WorkerShared& shared,
                   const std::function<void(SessionEvent&&)>& onEvent, std::stop_token stop);

// Where the connection loop runs. The programs give it a thread of its own. A run on a
// virtual clock, where one thread owns time, gives it turns on the window thread instead:
// each turn is one pass posted to the window, its wait letting virtual time run.
enum class ConnectionThreading : uint8_t { OwnThread, WindowTurns };

class Iec104Worker {
 public:
  // `socket` and `clock` must outlive the worker (Join before they go); `onNotice` runs on
  // the window thread through `post`, and never after Join.
  Iec104Worker(std::unique_ptr<Iec104Session> session, TcpSocket& socket, Clock& clock,
               PostToWindow post, NoticeHandler onNotice,
               ConnectionThreading threading = ConnectionThreading::OwnThread);
  ~Iec104Worker();
  Iec104Worker(const Iec104Worker&) = delete;
  Iec104Worker& operator=(const Iec104Worker&) = delete;

  void Start();
  // Window side.
  void RequestClockSync() { shared_->clockSyncRequested = true; }
  uint32_t ClockSyncsConfirmed() const { return shared_->clockSyncsConfirmed; }
  bool Done() const { return shared_->done; }
  bool Ended() const { return shared_->ended; }
  LinkResult EndResult() const { return shared_->endResult; }
  std::shared_ptr<const DataSetSnapshot> TakeDataSet() { return shared_->TakeDataSet(); }
  // The message box text of a refused command that ended the connection, or empty.
  std::string EndMessage() { return shared_->EndMessage(); }
  // Asks for an orderly end (STOPDT act) and waits for it up to 51 rounds of 100 ms, letting
  // `windowClock` keep the window painting between rounds; then ends it without goodbye.
  // Joins in every case; no notice is delivered afterwards. False when the orderly end did
  // not come in time.
  bool StopAndJoin(Clock& windowClock);
  bool Joinable() const { return thread_.joinable() || loop_ != nullptr; }

 private:
  std::function<void(SessionEvent&&)> Forwarder() const;
  // WindowTurns: one pass, and the orderly end when it was the last; false once ended.
  bool PassOrFinish(uint32_t maxWaitMs);
  void Turn();
  // WindowTurns: the end, without a thread to join.
  bool StopTurns(Clock& windowClock);

  std::unique_ptr<Iec104Session> session_;
  TcpSocket& socket_;
  Clock& clock_;
  PostToWindow post_;
  NoticeHandler onNotice_;
  std::shared_ptr<WorkerShared> shared_ = std::make_shared<WorkerShared>();
  // Cleared at Join on the window thread; closures still queued then do nothing.
  std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
  ConnectionThreading threading_;
  std::unique_ptr<ConnectionLoop> loop_;  // WindowTurns, until Finish
  std::jthread thread_;
};

}  // namespace tessvar::iec104
