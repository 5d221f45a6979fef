// tessvar-dat FILE... [--json]: reports what each description file describes. A file that
// cannot be loaded gets one line on stderr (file and byte offset) and exit status 1; the
// other files are still reported.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/dat/dat_report.h"

namespace {

// Description files are a few kilobytes; anything far larger is not one.
constexpr std::streamoff kMaxFileBytes = 16 * 1024 * 1024;

std::string BaseName(const std::string& path) {
  const auto p = path.find_last_of('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Reports what description (.dat) files describe"};
  std::vector<std::string> files;
  bool json = false;
  app.add_option("files", files, "description files")->required();
  app.add_flag("--json", json, "one JSON object per file and line");
  CLI11_PARSE(app, argc, argv);

  int status = 0;
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
      std::cerr << "tessvar-dat: " << path << ": cannot be opened (byte 0)\n";
      status = 1;
      continue;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileBytes) {
      std::cerr << "tessvar-dat: " << path << ": too large for a description file (byte " << kMaxFileBytes
                << ")\n";
      status = 1;
      continue;
    }
    in.seekg(0);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    if (in.gcount() != size) {
      std::cerr << "tessvar-dat: " << path << ": read failed (byte " << in.gcount() << ")\n";
      status = 1;
      continue;
    }
    tessvar::dat::Report report{path, tessvar::ReadDeviceDescription(bytes, {}, {BaseName(path), {}})};
    if (report.load.error) {
      std::cerr << "tessvar-dat: " << path << ": " << report.load.error->message << " (byte "
                << report.load.error->offset << ")\n";
      status = 1;
      continue;
    }
    std::cout << (json ? tessvar::dat::JsonReport(report) + "\n" : tessvar::dat::TextReport(report));
  }
  return status;
}
