#include "link/iec_refusal.h"

namespace tessvar {

std::string_view IecRefusalText(LinkResult result) {
  switch (result) {
    case LinkResult::kUnknownType:
    case LinkResult::kUnknownCause:
    case LinkResult::kUnknownObjectAddress:
      return LinkResultText(result);
    default:
      return kIecNotConfirmedText;
  }
}

}  // namespace tessvar
