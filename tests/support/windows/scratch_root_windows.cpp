// SPDX-License-Identifier: MIT
// Scratch folders go in the user's temporary folder (TMP, else TEMP, else the profile's own).
#include "support/scratch_folder.h"

namespace kivocom {

std::filesystem::path ScratchRoot() { return std::filesystem::temp_directory_path(); }

}  // namespace kivocom
