#pragma once
// МЭК-104 in one read mode for the soak: the window's connection served by the simulated
// station in-process, on the virtual clock, the connection taking turns on the window thread.
#include <memory>

#include "model/connection_settings.h"
#include "tests/soak/soak_target.h"

namespace tessvar::soak {

std::unique_ptr<SoakTarget> MakeIec104Target(IecReadMode mode);

}  // namespace tessvar::soak
