#pragma once
// The recording file of a run and the recording-time limit. The texts are built in UTF-8
// with "\n" line ends; RecordingFile writes them as Windows-1251 with CR LF.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace tessvar {

// "hh:mm:ss" (blanks around the numbers allowed, "00 : 00 : 15") in seconds. Nothing when
// a part is missing or not a number, the hours exceed 24 or minutes or seconds exceed 60.
std::optional<uint32_t> ParseRecordingTime(std::string_view text);
// A remaining time as "hh : mm : ss", rounded up to whole seconds.
std::string RemainingText(uint64_t remainingMs);

// The chosen save path: ".txt" appended unless the path already holds it.
std::string RecordPathFromChoice(std::string_view chosen);
// The file of a new day: a trailing ".txt" replaced by "_dd_mm__hh_mm_ss.txt".
std::string RotatedRecordPath(std::string_view recordPath, const WallTime& t);

struct RecordColumn {
  int slot;
  std::string caption;
  std::string value;
};

// Blanks (16) and TAB, or a TAB alone, after the caption of a slot's header cell.
bool CaptionPadded(int slot);
std::string RecordHeader(const WallTime& t, std::span<const RecordColumn> columns);
// Time cell of the converter clock: "14:05:19,25\t", seconds unpadded ("14:05:7,25\t").
std::string ConverterTimeCell(uint8_t hour, uint8_t minute, uint16_t milliseconds);
// Time cell of the computer clock with tenths: "14:05:09,3\t".
std::string ComputerTimeCell(const WallTime& t);
std::string RecordLine(std::string_view timeCell, std::span<const RecordColumn> columns,
                       bool physicalUnits);

// One open recording file. Every write is flushed and checked; after a failure the file
// is closed and the error kept.
class RecordingFile {
 public:
  bool Create(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  // Writes UTF-8 text as Windows-1251, "\n" as CR LF; false (and closed) on any failure.
  bool Write(std::string_view utf8);
  void Close();

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::string path_;
};

}  // namespace tessvar
