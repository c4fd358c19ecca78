// SPDX-License-Identifier: MIT
// The handle behind the simulator's C interface.
#pragma once

#include "kivocom/kivocom_sim_c.h"
#include "kivocom/simulator.h"

struct kvc_sim {
  kivocom::InstrumentSimulator simulator;
};
