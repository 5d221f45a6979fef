#pragma once
// The station profile of the IEC clients: how the station at the other end behaves.
// "Преобразователь" is this transducer, which answers the way the client was built for;
// the standard profile follows IEC 60870-5-101/-104 as RTUs, gateways and relays implement
// it (class 1 with ACD, IOA 0 interrogation, SEND/CONFIRM read, E5 acknowledgements,
// answers with the group's members only).
#include <array>
#include <optional>
#include <string_view>

namespace tessvar {

enum class IecProfile : int { Transducer = 0, Standard = 1 };

// List texts of the IEC page, in enum order.
inline constexpr std::array<std::string_view, 2> kIecProfileTexts = {"Преобразователь",
                                                                     "Стандарт МЭК"};
// The words of the settings file and the command line, in enum order.
inline constexpr std::array<std::string_view, 2> kIecProfileWords = {"transducer", "standard"};

std::string_view IecProfileText(IecProfile profile);
std::string_view IecProfileWord(IecProfile profile);
// The profile a word names (exactly, lower case); none for anything else.
std::optional<IecProfile> IecProfileFromWord(std::string_view word);

}  // namespace tessvar
