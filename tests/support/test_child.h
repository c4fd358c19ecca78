// SPDX-License-Identifier: MIT
// A second process for tests about two programs at once: this test program started again on the
// current test alone, with a role in its environment. The test sees the role, plays that part
// instead of the whole test, and ends; the parent plays its own part meanwhile.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "support/environment.h"
#include "support/tool_run.h"

namespace kivocom {

inline constexpr const char* kChildRoleVariable = "KIVOCOM_TEST_CHILD_ROLE";

// This test program's own file.
std::string OwnProgramPath();

// The role this process plays for its parent ("" in the parent itself).
inline std::string ChildRole() {
  const char* role = std::getenv(kChildRoleVariable);
  return role ? role : "";
}

// Waits up to `limit` for `done` to hold, checking every millisecond.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class TestChild {
 public:
  // Starts the current test in a child process with `role`; returns at once.
  explicit TestChild(const std::string& role) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    SetEnvironment(kChildRoleVariable, role);
    runner_ = std::thread([this, filter] { result_ = RunTool(OwnProgramPath(), {filter}, 60000); });
  }
  ~TestChild() { Finish(); }
  TestChild(const TestChild&) = delete;
  TestChild& operator=(const TestChild&) = delete;

  // Waits for the child and returns how it ended: exit code 0 when its part passed.
  const ToolResult& Finish() {
    if (runner_.joinable()) runner_.join();
    UnsetEnvironment(kChildRoleVariable);
    return result_;
  }

 private:
  std::thread runner_;
  ToolResult result_;
};

}  // namespace kivocom
