#pragma once
// Readable and JSON reports of one loaded description.
#include <string>

#include "model/device_description.h"

namespace tessvar::dat {

struct Report {
  std::string file;
  DescriptionLoad load;
};

// The protocol list text the load leaves selected, empty when it selects none.
std::string SelectedProtocol(const DescriptionLoad& load);
// The device address as the window ends up with it.
uint16_t FinalDeviceAddress(const DescriptionLoad& load);

std::string TextReport(const Report& r);
std::string JsonReport(const Report& r);  // one line

}  // namespace tessvar::dat
