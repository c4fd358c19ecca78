// SPDX-License-Identifier: MIT
// The thread's port probe: an installed one (a test double) or a fresh view of this system.
#include "kivocom/port_probe.h"

namespace kivocom {
namespace {

thread_local std::shared_ptr<PortProbe> tProbe;

}  // namespace

std::shared_ptr<PortProbe> ThreadPortProbe() { return tProbe ? tProbe : CreateSystemPortProbe(); }

void InstallThreadPortProbe(std::shared_ptr<PortProbe> probe) { tProbe = std::move(probe); }

int32_t IsCOMPortAvailable(int32_t port) { return ThreadPortProbe()->IsCOMPortAvailable(port); }

}  // namespace kivocom
