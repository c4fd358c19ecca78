// SPDX-License-Identifier: MIT
// A fixture that gives each test a fresh in-memory line on a virtual clock, a recording message
// handler, and restores the thread's defaults afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kivocom/clock.h"
#include "kivocom/memory_serial_control.h"
#include "kivocom/user_messages.h"

namespace kivocom {

// Records every message box and pointer change instead of showing them.
class RecordingMessages : public UserMessages {
 public:
  struct Box {
    std::string prompt;
    int32_t flags;
    std::string title;
    std::string helpFile;
    int32_t helpContext;
  };
  void ShowBox(const std::string& prompt, int32_t flags, const std::string& title,
               const std::string& helpFile, int32_t helpContext) override {
    boxes.push_back({prompt, flags, title, helpFile, helpContext});
    events.push_back("box");
  }
  void SetPointer(MousePointer shape) override {
    events.push_back(shape == MousePointer::Default ? "pointer=default" : "pointer=busy");
  }
  std::vector<Box> boxes;
  std::vector<std::string> events;
};

class MemoryLineTest : public ::testing::Test {
 protected:
  MemoryLineTest()
      : clock(std::make_shared<VirtualClock>()),
        control(std::make_shared<MemorySerialControl>(clock)),
        messages(std::make_shared<RecordingMessages>()) {
    InstallThreadClock(clock);
    InstallThreadSerialControl(control);
    InstallThreadUserMessages(messages);
  }
  ~MemoryLineTest() override {
    InstallThreadSerialControl(nullptr);
    InstallThreadClock(nullptr);
    InstallThreadUserMessages(nullptr);
    InstallThreadMessagePump(nullptr);
  }

  std::shared_ptr<VirtualClock> clock;
  std::shared_ptr<MemorySerialControl> control;
  std::shared_ptr<RecordingMessages> messages;
};

}  // namespace kivocom
