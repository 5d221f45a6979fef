#pragma once
// The bundled sample descriptions, as the generator writes them into samples/.
#include <string>
#include <vector>

#include "tools/make_samples/description_writer.h"

namespace tessvar::samples {

struct NamedSample {
  std::string fileName;  // e.g. "rtu-two-channel.dat"
  DescriptionLayout layout;
};

std::vector<NamedSample> SampleSet();

}  // namespace tessvar::samples
