// SPDX-License-Identifier: MIT
// A fresh folder for one test's files, removed with everything in it when the test ends, and
// helpers to read and write whole files byte for byte. Paths use "/" between names, which both
// systems take.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace kivocom {

// The folder scratch folders are made in: this system's choice of a quick, private place.
std::filesystem::path ScratchRoot();

class ScratchFolder {
 public:
  // A new folder named `prefix` and random letters under ScratchRoot(); made by this object alone,
  // as creating a folder that already exists fails.
  explicit ScratchFolder(const std::string& prefix = "kivocom-test-") {
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<int> letter(0, 25);
    for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
      std::string name = prefix;
      for (int i = 0; i < 8; ++i) name += static_cast<char>('a' + letter(random));
      const std::filesystem::path candidate = ScratchRoot() / name;
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) folder_ = candidate.generic_string();
    }
    if (folder_.empty()) throw std::runtime_error("cannot create a scratch folder");
  }
  ~ScratchFolder() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    // Give back the permissions a test took away, so that everything can be removed.
    for (auto it = fs::recursive_directory_iterator(folder_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
      if (it->is_directory(ignored)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder itself.
  const std::string& Folder() const { return folder_; }
  // The path of `name` inside the folder.
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

// The bytes of the file at `path` ("" when it cannot be read).
inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes `bytes` as the whole file at `path`.
inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// The names of the entries in `folder`, sorted.
inline std::string FolderListing(const std::string& folder) {
  std::string names;
  std::error_code ignored;
  std::vector<std::string> sorted;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    sorted.push_back(entry.path().filename().string());
  std::sort(sorted.begin(), sorted.end());
  for (const auto& name : sorted) names += name + " ";
  return names;
}

}  // namespace kivocom
