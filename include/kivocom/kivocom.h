// SPDX-License-Identifier: MIT
// The whole public interface of the kivocom library.
//
// Threads: every object is used on the thread that created it, and nothing in the library locks.
// All port objects of one thread share that thread's serial control, and so one line: each
// OpenPort (and so each exchange) closes the line and opens it with the calling object's own port
// number and settings, so opening one port object closes another's line. Programs that drive
// several instruments at once use one thread per line.
#pragma once

#include "kivocom/clock.h"
#include "kivocom/comport.h"
#include "kivocom/enums.h"
#include "kivocom/error.h"
#include "kivocom/ini_file.h"
#include "kivocom/kivo_ini_file.h"
#include "kivocom/pick_list_controls.h"
#include "kivocom/port_devices.h"
#include "kivocom/port_probe.h"
#include "kivocom/progress_window.h"
#include "kivocom/registry.h"
#include "kivocom/serial_control.h"
#include "kivocom/simulated_lines.h"
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"
#include "kivocom/trace_file.h"
#include "kivocom/user_messages.h"
#include "kivocom/version.h"
