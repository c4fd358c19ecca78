// A fresh folder for one test's files, removed with everything in it when the test ends, and
// helpers to read and write whole files byte for byte.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace kivocom {

class ScratchFolder {
 public:
  // Made under TMPDIR when set, else in memory (/dev/shm) where there is one, so that the flushes
  // to disk that every settings write makes cost the tests nothing; else under /tmp.
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string root = (tmp && *tmp) ? tmp : access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = root + "/kivocom-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
    folder_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    // Give back the permissions a test took away, so that everything can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(folder_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
      if (it->is_directory(ignored)) chmod(it->path().c_str(), 0700);
    chmod(folder_.c_str(), 0700);
    std::filesystem::remove_all(folder_, ignored);
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
