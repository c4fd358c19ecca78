// SPDX-License-Identifier: MIT
// The system registry, read only: the few values through which the library finds the infrared
// (IrDA) virtual port. Keys are paths below HKEY_LOCAL_MACHINE such as "Enum\Infrared\Framer".
// Systems without a registry use an in-memory one, empty unless a program or test fills it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kivocom {

// The type of a registry value, with the system's numbers.
enum class RegistryType : uint32_t {
  None = 0,        // no type
  Text = 1,        // zero-terminated text (REG_SZ)
  ExpandText = 2,  // text with %VARIABLE% references (REG_EXPAND_SZ)
  Binary = 3,      // raw bytes (REG_BINARY)
  Number = 4,      // 32-bit number (REG_DWORD)
};

// An open key; valid until closed.
using RegistryKey = uint64_t;

// Read access to the registry. Every key opened must be closed.
class Registry {
 public:
  virtual ~Registry() = default;
  // Opens `path` for reading; false when it does not exist or cannot be opened.
  virtual bool OpenKey(const std::string& path, RegistryKey& key) = 0;
  // The type and size in bytes (a text's terminating zero included) of value `name` of `key`;
  // false when there is no such value.
  virtual bool QueryValue(RegistryKey key, const std::string& name, RegistryType& type,
                          uint32_t& size) = 0;
  // Reads value `name` of `key` into `data`, whose size is the room offered; on success `data`
  // is cut to the bytes read. False when there is no such value or it does not fit.
  virtual bool ReadValue(RegistryKey key, const std::string& name, std::vector<char>& data) = 0;
  // Closes `key`.
  virtual void CloseKey(RegistryKey key) = 0;
};

// A registry held in memory: empty when created; a program or test adds keys and values.
class MemoryRegistry : public Registry {
 public:
  // Adds key `path` (with no values) if it is not there yet.
  void AddKey(const std::string& path);
  // Stores text `text` as value `name` of key `path` (a Text value with its terminating zero),
  // adding the key when needed.
  void SetText(const std::string& path, const std::string& name, const std::string& text);
  // Stores raw bytes `data` of type `type` as value `name` of key `path`, adding the key.
  void SetValue(const std::string& path, const std::string& name, RegistryType type,
                std::vector<char> data);
  // How many keys are open now: 0 once every key opened was closed.
  int32_t OpenKeyCount() const { return static_cast<int32_t>(open_.size()); }
  // How many keys were opened since creation.
  int32_t KeysOpened() const { return keysOpened_; }

  bool OpenKey(const std::string& path, RegistryKey& key) override;
  bool QueryValue(RegistryKey key, const std::string& name, RegistryType& type,
                  uint32_t& size) override;
  bool ReadValue(RegistryKey key, const std::string& name, std::vector<char>& data) override;
  // Closes `key`; closing a key that is not open is ignored.
  void CloseKey(RegistryKey key) override;

 private:
  struct Value {
    RegistryType type;
    std::vector<char> data;
  };
  using Values = std::map<std::string, Value>;

  const Value* Find(RegistryKey key, const std::string& name) const;

  std::map<std::string, Values> keys_;
  std::map<RegistryKey, std::string> open_;
  RegistryKey nextKey_ = 1;
  int32_t keysOpened_ = 0;
};

// The calling thread's registry: the installed one, else this system's (an empty in-memory
// registry where the system has none).
Registry& ThreadRegistry();
// Installs `registry` for the calling thread; nullptr returns to the system's.
void InstallThreadRegistry(std::shared_ptr<Registry> registry);

}  // namespace kivocom
