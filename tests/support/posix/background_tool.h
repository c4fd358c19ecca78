// SPDX-License-Identifier: MIT
// The kivocom tool running beside a test (the spy, a simulator): its standard output read as it
// comes, with time-outs, and the tool stopped with a termination request at the end.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kivocom {

class BackgroundTool {
 public:
  // Starts `tool` with `args`, standard output to this object, standard error to /dev/null.
  BackgroundTool(const std::string& tool, const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, tool.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~BackgroundTool() {
    if (pid_ > 0) Stop();
    if (out_ >= 0) close(out_);
  }
  BackgroundTool(const BackgroundTool&) = delete;
  BackgroundTool& operator=(const BackgroundTool&) = delete;

  // Reads until the output holds `text` (true) or `timeoutMs` passes or the output ends (false).
  bool WaitFor(const std::string& text, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(static_cast<int>(left.count()))) return false;
    }
    return true;
  }
  // Everything read so far.
  const std::string& Output() const { return output_; }
  // Asks the tool to stop, reads the rest of its output and returns its exit status (-1 when it
  // had to be killed after `timeoutMs`).
  int Stop(int timeoutMs = 5000) {
    if (pid_ > 0) kill(pid_, SIGTERM);
    return Wait(timeoutMs);
  }
  // Waits for the tool to end by itself; its exit status, or -1 when it had to be killed.
  int Wait(int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ended_ && std::chrono::steady_clock::now() < deadline) ReadSome(50);
    // The output ends a moment before the process does.
    int status = 0;
    pid_t done = 0;
    while (pid_ > 0 && (done = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
      usleep(2000);
    if (pid_ > 0 && done == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      status = -1;
    }
    pid_ = -1;
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  // False when nothing came in `timeoutMs` or the output ended.
  bool ReadSome(int timeoutMs) {
    if (out_ < 0 || ended_) return false;
    pollfd fd{out_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
  bool ended_ = false;
};

}  // namespace kivocom
