// SPDX-License-Identifier: MIT
// Scratch folders go under TMPDIR when set, else in memory (/dev/shm) where there is one, so that
// the flushes to disk that every settings write makes cost the tests nothing; else under /tmp.
#include <unistd.h>

#include <cstdlib>

#include "support/scratch_folder.h"

namespace kivocom {

std::filesystem::path ScratchRoot() {
  const char* tmp = std::getenv("TMPDIR");
  if (tmp && *tmp) return tmp;
  return access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp";
}

}  // namespace kivocom
