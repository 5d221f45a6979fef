#pragma once
// The status text while a run starts: the IEC standard profile says so, so that an engineer
// sees at once which station behaviour the client expects. Every other start shows the
// plain request text.
#include <string>

#include "model/connection_settings.h"

namespace tessvar {

std::string RunStartStatusText(const ConnectionSettings& settings);

}  // namespace tessvar
