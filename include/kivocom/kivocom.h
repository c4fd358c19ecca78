// The whole public interface of the kivocom library.
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
#include "kivocom/smart_switch.h"
#include "kivocom/support.h"
#include "kivocom/trace_file.h"
#include "kivocom/user_messages.h"
