// SPDX-License-Identifier: MIT
// The thread's serial control as an automation object, as a port's COMControl hands it out: the
// members CommPort, Settings, PortOpen, Output, Input, InBufferCount, OutBufferCount, DTREnable
// and RTSEnable. Every port object of a thread hands out the same object.
#pragma once

#include <memory>

#include "kivocom/serial_control.h"
#include "server/named_dispatch.h"

namespace kivocom::server {

class ControlObject final : public NamedDispatch {
 public:
  // The calling thread's control object for `control`, with a reference the caller releases.
  static IDispatch* ForThread(std::shared_ptr<SerialControl> control);

 protected:
  const NamedMember* Members(size_t& count) const override;
  const char* ObjectName() const override { return "COMControl"; }
  void Call(DISPID id, bool put, const CallArguments& arguments, VARIANT* result) override;

 private:
  explicit ControlObject(std::shared_ptr<SerialControl> control);
  ~ControlObject() override;

  std::shared_ptr<SerialControl> control_;
};

}  // namespace kivocom::server
