#pragma once
// A settings store in memory, with switches for the failures a real store can have.
#include <map>
#include <string>

#include "platform/settings_store.h"

namespace tessvar::test {

class MemorySettingsStore : public SettingsStore {
 public:
  struct Value {
    StoreValueType type;
    std::vector<uint8_t> data;
  };
  std::map<std::string, std::map<std::string, Value>> keys;
  bool refuseOpen = false;   // the key can be neither opened nor created
  bool refuseWrite = false;  // writes fail
  int opens = 0, writes = 0, openKeys = 0;

  void PutString(std::string_view key, std::string_view name, std::string_view bytes) {
    std::vector<uint8_t> d(bytes.begin(), bytes.end());
    d.push_back(0);
    keys[std::string(key)][std::string(name)] = {StoreValueType::String, d};
  }

  std::unique_ptr<SettingsKey> OpenOrCreateKey(std::string_view path) override {
    ++opens;
    if (refuseOpen) return nullptr;
    return std::make_unique<Key>(*this, keys[std::string(path)]);
  }

 private:
  class Key : public SettingsKey {
   public:
    Key(MemorySettingsStore& store, std::map<std::string, Value>& values)
        : store_(store), values_(values) {
      ++store_.openKeys;
    }
    ~Key() override { --store_.openKeys; }
    StoreRead Query(std::string_view name, size_t bufferSize) override {
      StoreRead r;
      auto it = values_.find(std::string(name));
      if (it == values_.end()) {
        r.status = StoreStatus::NotFound;
        return r;
      }
      r.type = it->second.type;
      r.storedSize = it->second.data.size();
      if (r.storedSize > bufferSize) {
        r.status = StoreStatus::MoreData;
        return r;
      }
      r.status = StoreStatus::Ok;
      r.data = it->second.data;
      return r;
    }
    bool SetValue(std::string_view name, StoreValueType type,
                  std::span<const uint8_t> data) override {
      ++store_.writes;
      if (store_.refuseWrite) return false;
      values_[std::string(name)] = {type, {data.begin(), data.end()}};
      return true;
    }

   private:
    MemorySettingsStore& store_;
    std::map<std::string, Value>& values_;
  };
};

}  // namespace tessvar::test
