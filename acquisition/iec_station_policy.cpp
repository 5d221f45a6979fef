#include "acquisition/iec_station_policy.h"

#include "acquisition/data_set.h"
#include "acquisition/presentation.h"
#include "model/catalogue.h"

namespace tessvar {

IecStationPolicy StationPolicy(IecProfile profile) {
  IecStationPolicy p;
  if (profile != IecProfile::Standard) return p;
  p.standard = true;
  p.interrogateAtZero = true;
  p.readWithSendConfirm = true;
  p.pollClass1OnAcd = true;
  p.emptyPollIsNothing = true;
  p.repeatLostReply = true;
  p.decodeStandardTypes = true;
  p.groupMembersOnly = true;
  p.readEveryObject = true;
  return p;
}

bool IecStationPolicy::Untimed(uint8_t type) const {
  if (type == kMeNa1 || type == kMeNd1) return true;
  return decodeStandardTypes && (type == kMeNb1 || type == kMeNc1 || type == kItNa1);
}

std::vector<IecFloatScale> IecFloatScales(const DeviceDescription& description,
                                          const DcNominals& nominals) {
  std::vector<IecFloatScale> scales(description.entries.size());
  for (size_t k = 0; k < scales.size(); ++k) {
    const auto slot = FindCatalogueSlot(description.entries[k].name);
    if (!slot) continue;
    const ChannelNominal& n = nominals.channel[*slot >= 21 && *slot <= 41 ? 1 : 0];
    const double step = PhysicalPerCode(*slot, ChannelNominals{n.voltage, n.current, {}});
    const double divisor = DivisorAt(description.divisors, k).value_or(1.0);
    scales[k].codePerUnit = step > 0 ? divisor / step : divisor;
    scales[k].unsignedCode = IsUnsignedSlot(*slot);
  }
  return scales;
}

void ApplyStationPolicy(const IecStationPolicy& policy, const DeviceDescription& description,
                        const ConnectionSettings& settings, AsduDecoder& decoder) {
  decoder.standardTypes = policy.decodeStandardTypes;
  decoder.groupMembersOnly = policy.groupMembersOnly;
  if (policy.decodeStandardTypes) {
    decoder.entries.floatScales = IecFloatScales(description, settings.nominals);
  }
  StartCycle(decoder);
}

std::vector<uint32_t> AwaitedObjectAddresses(const AsduDecoder& decoder) {
  std::vector<uint32_t> out;
  for (size_t k = 0; k < decoder.awaited.size() && k < decoder.entries.addresses.size(); ++k) {
    if (decoder.awaited[k]) out.push_back(decoder.entries.addresses[k]);
  }
  return out;
}

std::optional<uint32_t> NextMissingAddress(const AsduDecoder& decoder,
                                           const std::vector<uint32_t>& addresses,
                                           size_t& cursor) {
  if (addresses.empty()) return std::nullopt;
  const auto& a = decoder.entries.addresses;
  for (size_t tried = 0; tried < addresses.size(); ++tried) {
    const uint32_t address = addresses[cursor % addresses.size()];
    cursor = (cursor + 1) % addresses.size();
    bool missing = false;
    for (size_t k = 0; k < a.size() && k < decoder.marks.size(); ++k) {
      if (a[k] == address && decoder.marks[k] == kMarkAwaited) missing = true;
    }
    if (missing) return address;
  }
  // Everything has arrived (the cycle is about to be handed over): start the list again.
  return addresses[cursor++ % addresses.size()];
}

}  // namespace tessvar
