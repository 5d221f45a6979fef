// Writes the bundled sample descriptions: make_samples [DIR] (default: the samples folder
// of the source tree).
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/make_samples/sample_set.h"

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : TESSVAR_SAMPLES_DIR;
  int status = 0;
  for (const auto& sample : tessvar::samples::SampleSet()) {
    const auto bytes = tessvar::samples::WriteDescription(sample.layout);
    const std::string path = dir + "/" + sample.fileName;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
      status = 1;
      continue;
    }
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
  }
  return status;
}
