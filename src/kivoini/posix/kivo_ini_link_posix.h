// SPDX-License-Identifier: MIT
// Writing a settings file through symbolic links, by the rule the system itself uses for
// protected links: a link planted in a shared folder, or one that leads into another user's file,
// must not let a program (run by root, say) rewrite a file its user did not mean.
#pragma once

#include <string>

namespace kivocom {

// The file a save of `path` replaces. A path that is no link is itself. Through a link, the file it
// ends at, when every link on the way belongs to root, or to this user and so does the file, and
// none sits in a folder that every user may write to; otherwise raises the save error (source
// `source`) and nothing is written. A link that leads nowhere is replaced itself.
std::string TrustedSaveTarget(const std::string& path, const std::string& source);

}  // namespace kivocom
