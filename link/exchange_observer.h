#pragma once
// What a traffic monitor hears of a run: every frame (FrameTap, from whichever thread moves
// it), each start of the run with the settings it runs with, and the outcome of each
// exchange the poll tick collects. The run holds a plain pointer (null = nobody listens).
#include "link/frame_tap.h"
#include "link/link_result.h"

namespace tessvar {

struct ConnectionSettings;

class ExchangeObserver : public FrameTap {
 public:
  // `userStart` for "Старт"; false for the restarts after a failure.
  virtual void OnRunStart(const ConnectionSettings& settings, bool userStart) = 0;
  // The result of one collected reply (kGood or the failure the status line shows).
  virtual void OnExchange(LinkResult result) = 0;
};

}  // namespace tessvar
