// SPDX-License-Identifier: MIT
// The message pump of a system without window messages: there is nothing to run.
#include "platform/system_services.h"

namespace kivocom {
namespace {

class IdlePump : public MessagePump {
 public:
  void ProcessPending() override {}
};

}  // namespace

std::shared_ptr<MessagePump> CreateSystemMessagePump() { return std::make_shared<IdlePump>(); }

}  // namespace kivocom
