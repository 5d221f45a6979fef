#pragma once
// The message a refused IEC command (interrogation, clock synchronisation, delay
// acquisition) shows, by the result its refusal gave.
#include <string_view>

#include "link/link_result.h"

namespace tessvar {

inline constexpr std::string_view kIecNotConfirmedText =
    "Нет подтверждения активации/деактивации опроса";

// The unknown-field causes name themselves; any other result is "not confirmed".
std::string_view IecRefusalText(LinkResult result);

}  // namespace tessvar
