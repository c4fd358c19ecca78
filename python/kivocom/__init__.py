# SPDX-License-Identifier: MIT
"""kivocom for Python: laboratory instruments on RS-232 serial lines, through libkivocom's C
interface (ctypes; no compiler needed).

The Pythonic layer, for lab scripts::

    import kivocom
    with kivocom.open("COM3", baud=9600, style="omega", address="01") as meter:
        print(meter.query("PV"))
        meter.send("SP", value="100.0")
        data = meter.download("DL", readings=500, progress=True)

Errors are kivocom.Error (number, source, description); time-outs kivocom.Timeout (also a
TimeoutError), characters above 128 kivocom.InvalidData, cancels kivocom.Aborted, a port without
its device or a closed connection kivocom.PortError. A connection may be shared by threads.

The faithful layer mirrors the C++ interface: kivocom.CCOMPort, kivocom.CSmartSwitch,
kivocom.KivoINIFile and the enumerations. kivocom.Simulator plays instruments for tests.
"""
from __future__ import annotations

from .connection import Connection, open
from .enums import (EBaudRate, ECOMError, ECOMPort, EControllerStyle, EDataBits, EParity, ESmartSwitchStyle,
                    EStopBits)
from .errors import Aborted, Error, InvalidData, PortError, Timeout
from .ini import KivoINIFile
from .port import CCOMPort, ErrorRecord
from .simulator import Behaviour, Simulator
from .switch import CSmartSwitch
from .system import (PortInfo, PortState, UsbAdapter, is_com_port_available, list_ports, map_device, map_port,
                     port_device_path, unmap_device, ports_folder, request_download_cancel, set_message_box_handler,
                     set_message_pump, set_progress_window, set_trace_folder, trace_file_path, trace_folder,
                     version)

__version__ = version()

__all__ = [
    "Aborted", "Behaviour", "CCOMPort", "CSmartSwitch", "Connection", "EBaudRate", "ECOMError", "ECOMPort",
    "EControllerStyle", "EDataBits", "EParity", "ESmartSwitchStyle", "EStopBits", "Error", "ErrorRecord",
    "InvalidData", "KivoINIFile", "PortError", "PortInfo", "PortState", "Simulator", "Timeout", "UsbAdapter",
    "is_com_port_available", "list_ports", "map_device", "map_port", "open", "port_device_path", "ports_folder",
    "request_download_cancel", "set_message_box_handler", "set_message_pump", "set_progress_window",
    "set_trace_folder", "trace_file_path", "trace_folder", "unmap_device", "version",
]
