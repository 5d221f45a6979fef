#pragma once
// The per-user settings store: named keys holding typed values of raw bytes, the way the
// Windows registry keeps them under the current user. Texts in it are 8-bit code page
// bytes with their terminating zero; the store never interprets them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace tessvar {

// Value types with the numbers the registry gives them.
enum class StoreValueType : uint32_t {
  None = 0,
  String = 1,
  ExpandString = 2,
  Binary = 3,
  Dword = 4,
  MultiString = 7,
};

enum class StoreStatus : uint8_t {
  Ok,
  NotFound,
  MoreData,  // the value is larger than the caller's buffer; nothing was copied
  Failed,
};

struct StoreRead {
  StoreStatus status = StoreStatus::Failed;
  StoreValueType type = StoreValueType::None;
  std::vector<uint8_t> data;  // at most the buffer size given to Query
  size_t storedSize = 0;      // bytes the store holds for the value
};

// An open key; closing it is the destructor's job.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  virtual StoreRead Query(std::string_view valueName, size_t bufferSize) = 0;
  virtual bool SetValue(std::string_view valueName, StoreValueType type,
                        std::span<const uint8_t> data) = 0;
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens the key with this path ("Software\\Dorvaint"), creating it when it is missing.
  // Nothing when the store cannot be read or the key cannot be created.
  virtual std::unique_ptr<SettingsKey> OpenOrCreateKey(std::string_view path) = 0;
};

}  // namespace tessvar
