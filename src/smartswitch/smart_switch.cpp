// SPDX-License-Identifier: MIT
// The smart switch object: its model, port count and parent.
#include "kivocom/smart_switch.h"

#include "kivocom/comport.h"
#include "kivocom/error.h"

namespace kivocom {

CSmartSwitch::CSmartSwitch() { Style(SSS_BB8PORT); }

CSmartSwitch::~CSmartSwitch() = default;

void CSmartSwitch::Style(ESmartSwitchStyle style) {
  style_ = style;
  switch (style) {
    case SSS_BB4PORT:
      numPorts_ = 4;
      break;
    case SSS_BB8PORT:
    case SSS_BT528AP:
      numPorts_ = 8;
      break;
  }
}

void CSmartSwitch::Parent(CCOMPort* parent) {
  parent_ = parent ? std::weak_ptr<CCOMPort*>(parent->self_) : std::weak_ptr<CCOMPort*>();
}

CCOMPort* CSmartSwitch::Parent() const {
  const auto link = parent_.lock();
  return link ? *link : nullptr;
}

CCOMPort& CSmartSwitch::RequireParent(const char* operation) const {
  CCOMPort* parent = Parent();
  if (!parent)
    throw Error(kErrNoParent, std::string("CSmartSwitch - ") + operation,
                "The smart switch has no parent port object to send its commands through.");
  return *parent;
}

}  // namespace kivocom
