// The bundled samples: they match their generator, load completely, and every prefix of
// them loads without reading out of bounds, with an error exactly when the cut comes
// before the protocol code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "model/device_description.h"
#include "tools/make_samples/sample_set.h"

namespace tessvar {
namespace {

std::vector<uint8_t> ReadSample(const std::string& name) {
  const char* dir = std::getenv("TESSVAR_SOURCE_DIR");
  std::ifstream in(std::string(dir ? dir : ".") + "/samples/" + name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(Samples, CommittedFilesMatchTheGenerator) {
  for (const auto& s : samples::SampleSet()) {
    EXPECT_EQ(ReadSample(s.fileName), samples::WriteDescription(s.layout))
        << s.fileName << " is stale: run make_samples";
  }
}

TEST(Samples, LoadCompletely) {
  for (const auto& s : samples::SampleSet()) {
    const auto bytes = samples::WriteDescription(s.layout);
    const auto r = ReadDeviceDescription(bytes, {}, {s.fileName, DisplayMode::PhysicalUnits});
    ASSERT_FALSE(r.error) << s.fileName;
    EXPECT_FALSE(r.quietEnd) << s.fileName;
    EXPECT_EQ(r.description.entries.size(), s.layout.records.size()) << s.fileName;
    EXPECT_EQ(r.description.groupCodes.size(), r.description.entries.size());
    EXPECT_EQ(r.network.has_value(), s.layout.network.has_value()) << s.fileName;
    EXPECT_EQ(r.deviceAddress, s.layout.deviceAddress);
  }
}

TEST(Samples, EveryTruncation) {
  for (const auto& s : samples::SampleSet()) {
    const auto full = samples::WriteDescription(s.layout);
    const auto whole = ReadDeviceDescription(full, {}, {s.fileName, DisplayMode::RawCode});
    // The first offset at which a quiet end is possible: right after the device variant.
    size_t protocolAt = full.size();
    for (size_t cut = 0; cut < full.size(); ++cut) {
      // A copy of exactly `cut` bytes, so a sanitizer sees any read past the end.
      const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
      const auto r = ReadDeviceDescription(part, whole.description, {s.fileName, DisplayMode::RawCode});
      if (r.error) {
        ASSERT_LT(cut, protocolAt) << s.fileName << " cut " << cut;
        EXPECT_LE(r.error->offset, cut);
        EXPECT_TRUE(r.description.entries.empty());
        EXPECT_FALSE(r.marks);
        continue;
      }
      if (protocolAt == full.size()) protocolAt = cut;
      ASSERT_TRUE(r.quietEnd) << s.fileName << " cut " << cut;
      EXPECT_LE(r.quietEnd->offset, cut);
      EXPECT_EQ(r.description.entries.size(), whole.description.entries.size());
      EXPECT_TRUE(r.marks);
      EXPECT_LE(r.ratedActions.size(), whole.ratedActions.size());
    }
    EXPECT_LT(protocolAt, full.size());
  }
}

}  // namespace
}  // namespace tessvar
