// SPDX-License-Identifier: MIT
#include "server/control_object.h"

#include "kivocom/error.h"
#include "server/automation_text.h"

namespace kivocom::server {
namespace {

enum : DISPID {
  kCommPort = 1,
  kSettings,
  kPortOpen,
  kOutput,
  kInput,
  kInBufferCount,
  kOutBufferCount,
  kDTREnable,
  kRTSEnable,
};

constexpr NamedMember kMembers[] = {
    {L"CommPort", kCommPort},         {L"Settings", kSettings},       {L"PortOpen", kPortOpen},
    {L"Output", kOutput},             {L"Input", kInput},             {L"InBufferCount", kInBufferCount},
    {L"OutBufferCount", kOutBufferCount}, {L"DTREnable", kDTREnable}, {L"RTSEnable", kRTSEnable},
};

constexpr int32_t kErrWriteOnly = 394;
constexpr int32_t kErrReadOnly = 383;

// The thread's object while it lives; objects are used only on the thread that made them.
thread_local ControlObject* t_current = nullptr;
thread_local SerialControl* t_currentControl = nullptr;

void SetResult(VARIANT* result, Variant value) {
  if (result != nullptr) VariantCopy(result, value.get());
}

}  // namespace

IDispatch* ControlObject::ForThread(std::shared_ptr<SerialControl> control) {
  if (t_current != nullptr && t_currentControl == control.get()) {
    t_current->AddRef();
    return t_current;
  }
  return new ControlObject(std::move(control));
}

ControlObject::ControlObject(std::shared_ptr<SerialControl> control) : control_(std::move(control)) {
  t_current = this;
  t_currentControl = control_.get();
}

ControlObject::~ControlObject() {
  if (t_current == this) {
    t_current = nullptr;
    t_currentControl = nullptr;
  }
}

const NamedMember* ControlObject::Members(size_t& count) const {
  count = std::size(kMembers);
  return kMembers;
}

void ControlObject::Call(DISPID id, bool put, const CallArguments& arguments, VARIANT* result) {
  SerialControl& control = *control_;
  const char* source = ObjectName();
  auto value = [&] { return arguments.PutValue(); };
  switch (id) {
    case kCommPort:
      if (put) return control.CommPort(ToLong(value(), source));
      return SetResult(result, Variant::Integer(static_cast<int16_t>(control.CommPort())));
    case kSettings:
      if (put) return control.Settings(ToText(value(), source));
      return SetResult(result, Variant::Text(control.Settings()));
    case kPortOpen:
      if (put) return control.PortOpen(ToBoolean(value(), source));
      return SetResult(result, Variant::Boolean(control.PortOpen()));
    case kOutput:
      if (!put) throw Error(kErrWriteOnly, source, "Property is write-only");
      return control.Output(ToText(value(), source));
    case kInput:
      if (put) throw Error(kErrReadOnly, source, "Can't set read-only property");
      return SetResult(result, Variant::Text(control.Input()));
    case kInBufferCount:
      if (put) return control.InBufferCount(ToLong(value(), source));
      return SetResult(result, Variant::Long(control.InBufferCount()));
    case kOutBufferCount:
      if (put) return control.OutBufferCount(ToLong(value(), source));
      return SetResult(result, Variant::Long(control.OutBufferCount()));
    case kDTREnable:
      if (!put) throw Error(kErrWriteOnly, source, "Property is write-only");
      return control.DTREnable(ToBoolean(value(), source));
    case kRTSEnable:
      if (!put) throw Error(kErrWriteOnly, source, "Property is write-only");
      return control.RTSEnable(ToBoolean(value(), source));
  }
}

}  // namespace kivocom::server
