// SPDX-License-Identifier: MIT
// Running a piece of a test in a child process: for a second writer at the same time, or for a
// user without root's override of file permissions. The child reports back one text.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace kivocom {

// The user and group that permission tests run as when the tests run as root.
inline constexpr uid_t kUnprivilegedId = 65534;
// What the child reports when it cannot become that user (as in a container without that id).
inline constexpr const char* kCannotDropPrivileges = "child failed: cannot drop privileges";

class ChildProcess {
 public:
  // Starts `body` in a child; as root, with `unprivileged`, the child first becomes user 65534.
  // The child's text (or "child failed: ..." when it threw) is what Finish returns.
  explicit ChildProcess(const std::function<std::string()>& body, bool unprivileged = false) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ < 0) {
      close(fds[0]);
      close(fds[1]);
      return;
    }
    if (pid_ == 0) {
      close(fds[0]);
      std::string text;
      try {
        if (unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 || setuid(kUnprivilegedId) != 0))
          text = kCannotDropPrivileges;
        else
          text = body();
      } catch (const std::exception& e) {
        text = std::string("child failed: ") + e.what();
      }
      for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
      _exit(0);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~ChildProcess() { Finish(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits for the child and returns its text.
  std::string Finish() {
    if (out_ >= 0) {
      char buffer[4096];
      ssize_t n;
      while ((n = read(out_, buffer, sizeof buffer)) > 0) text_.append(buffer, static_cast<std::size_t>(n));
      close(out_);
      out_ = -1;
    }
    if (pid_ > 0) {
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    return text_;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string text_;
};

}  // namespace kivocom
