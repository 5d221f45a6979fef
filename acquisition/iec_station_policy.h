#pragma once
// What the IEC clients do differently for a standard station than for the transducer. The
// engines ask this object instead of testing the profile, so each difference is named once.
#include <vector>

#include "link/iec_asdu_decoder.h"
#include "model/connection_settings.h"
#include "model/device_description.h"

namespace tessvar {

struct IecStationPolicy {
  bool standard = false;
  // IEC 101 link and commands.
  bool interrogateAtZero = false;     // the interrogation's object address is 0
  bool readWithSendConfirm = false;   // the read command travels with function 3
  bool pollClass1OnAcd = false;       // class 1 is polled while the station sets ACD
  bool emptyPollIsNothing = false;    // E5 or NACK to a poll: nothing now, not a failure
  bool repeatLostReply = false;       // a lost reply is asked again once, same FCB
  // Both protocols.
  bool decodeStandardTypes = false;   // types 11, 13, 15, 36, 37
  bool groupMembersOnly = false;      // a group poll awaits only the group's members
  bool readEveryObject = false;       // the read mode reads each awaited object itself

  // Whether values of this monitor type come without a time tag (the recorded line then
  // carries the computer's time): 9 and 21, and for a standard station 11, 13 and 15.
  bool Untimed(uint8_t type) const;
};

IecStationPolicy StationPolicy(IecProfile profile);

// How floats become codes, per entry: the window's code step of the entry's quantity (on
// the nominals of its channel) times the entry's divisor, so that a float reads like the
// code the transducer would have sent. Quantities without a scale take 1 code per unit.
std::vector<IecFloatScale> IecFloatScales(const DeviceDescription& description,
                                          const DcNominals& nominals);

// Sets a fresh decoder up for the policy and starts its cycle.
void ApplyStationPolicy(const IecStationPolicy& policy, const DeviceDescription& description,
                        const ConnectionSettings& settings, AsduDecoder& decoder);

// The object addresses "Чтение (102)" asks a standard station for: every awaited entry's,
// in description order.
std::vector<uint32_t> AwaitedObjectAddresses(const AsduDecoder& decoder);

// The next address of `addresses` from `cursor` on (cyclically) whose entry has not yet
// arrived this cycle; moves the cursor past it. None when the list is empty.
std::optional<uint32_t> NextMissingAddress(const AsduDecoder& decoder,
                                           const std::vector<uint32_t>& addresses,
                                           size_t& cursor);

}  // namespace tessvar
