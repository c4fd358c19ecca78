// SPDX-License-Identifier: MIT
// The in-memory registry: keys and values a program or test stores, read as the system's would be.
#include "kivocom/registry.h"

namespace kivocom {

void MemoryRegistry::AddKey(const std::string& path) { keys_.try_emplace(path); }

void MemoryRegistry::SetText(const std::string& path, const std::string& name,
                             const std::string& text) {
  std::vector<char> data(text.begin(), text.end());
  data.push_back('\0');
  SetValue(path, name, RegistryType::Text, std::move(data));
}

void MemoryRegistry::SetValue(const std::string& path, const std::string& name, RegistryType type,
                              std::vector<char> data) {
  keys_[path][name] = Value{type, std::move(data)};
}

bool MemoryRegistry::OpenKey(const std::string& path, RegistryKey& key) {
  if (!keys_.contains(path)) return false;
  key = nextKey_++;
  open_[key] = path;
  ++keysOpened_;
  return true;
}

const MemoryRegistry::Value* MemoryRegistry::Find(RegistryKey key, const std::string& name) const {
  const auto openKey = open_.find(key);
  if (openKey == open_.end()) return nullptr;
  const Values& values = keys_.at(openKey->second);
  const auto value = values.find(name);
  return value == values.end() ? nullptr : &value->second;
}

bool MemoryRegistry::QueryValue(RegistryKey key, const std::string& name, RegistryType& type,
                                uint32_t& size) {
  const Value* value = Find(key, name);
  if (!value) return false;
  type = value->type;
  size = static_cast<uint32_t>(value->data.size());
  return true;
}

bool MemoryRegistry::ReadValue(RegistryKey key, const std::string& name, std::vector<char>& data) {
  const Value* value = Find(key, name);
  if (!value || value->data.size() > data.size()) return false;
  data = value->data;
  return true;
}

void MemoryRegistry::CloseKey(RegistryKey key) { open_.erase(key); }

}  // namespace kivocom
