#include "acquisition/iec_profile_status.h"

#include "acquisition/run_texts.h"

namespace tessvar {

std::string RunStartStatusText(const ConnectionSettings& s) {
  std::string text(run_texts::kRequesting);
  const bool iec = s.protocol == ProtocolKind::Iec101 || s.protocol == ProtocolKind::Iec104;
  if (iec && s.iecProfile == IecProfile::Standard) {
    text.append(" (").append(IecProfileText(s.iecProfile)).append(")");
  }
  return text;
}

}  // namespace tessvar
