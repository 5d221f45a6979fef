#pragma once
// The wake-up probe that puts a transducer's RS-485 interface into its service mode: a
// burst of three single zero octets at an unusual rate, then two answer octets read at
// 19200,E,8,1. CModbusMaster::ProbeRtcMode runs it on its serial line.
#include <cstdint>
#include <span>

namespace tessvar {

inline constexpr uint16_t kNoProbeAnswer = 0xFFFF;

// Settings texts of the probe.
inline constexpr const char* kProbeFastSettings = "76800,N,8,1";
inline constexpr const char* kProbeSlowSettings = "4800,N,8,1";
inline constexpr const char* kProbeAnswerSettings = "19200,E,8,1";

// The answer word from the octets read after a burst: first octet high. Nothing read is no
// answer; a lone octet counts with 0xFF as its missing second half, so a lone 0xFF is no
// answer either.
uint16_t ProbeAnswerFrom(std::span<const uint8_t> octets);

}  // namespace tessvar
