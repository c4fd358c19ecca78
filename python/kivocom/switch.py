# SPDX-License-Identifier: MIT
"""CSmartSwitch, as the C++ interface has it: an RS-232 port multiplexer's model and settings."""
from __future__ import annotations

import ctypes
import weakref
from typing import TYPE_CHECKING, Optional

from ._native import TextArg, c_int, c_int16, c_int32, check, lib, text_in, text_out
from .enums import ESmartSwitchStyle

if TYPE_CHECKING:
    from .ini import KivoINIFile
    from .port import CCOMPort


class CSmartSwitch:
    """A smart switch object: its model, port count, connected port and parent port."""

    def __init__(self) -> None:
        handle = ctypes.c_void_p()
        check(lib.kvc_switch_new(ctypes.byref(handle)))
        self._handle = handle
        self._parent: Optional[weakref.ref] = None  # the switch never keeps its port alive

    def __del__(self) -> None:
        handle = getattr(self, "_handle", None)
        if handle:
            lib.kvc_switch_free(handle)
            self._handle = None

    @property
    def CurrentPort(self) -> str:
        """The name of the connected switch port; empty when none is connected."""
        return text_out(lambda p, n: lib.kvc_switch_get_current_port(self._handle, p, n)).decode("latin-1")

    @property
    def Style(self) -> ESmartSwitchStyle:
        """The model; setting it also sets the port count."""
        value = c_int32()
        check(lib.kvc_switch_get_style(self._handle, ctypes.byref(value)))
        return ESmartSwitchStyle(value.value)

    @Style.setter
    def Style(self, value: int) -> None:
        check(lib.kvc_switch_set_style(self._handle, int(value)))

    @property
    def NumPorts(self) -> int:
        """The number of ports of the model."""
        value = c_int16()
        check(lib.kvc_switch_get_num_ports(self._handle, ctypes.byref(value)))
        return value.value

    @property
    def Parent(self) -> Optional["CCOMPort"]:
        """The port whose line carries the switch's commands, or None."""
        handle = ctypes.c_void_p()
        check(lib.kvc_switch_get_parent(self._handle, ctypes.byref(handle)))
        return self._parent() if handle.value and self._parent is not None else None

    @Parent.setter
    def Parent(self, port: Optional["CCOMPort"]) -> None:
        check(lib.kvc_switch_set_parent(self._handle, port._handle if port is not None else None))
        self._parent = weakref.ref(port) if port is not None else None

    def WriteToFile(self, INIFile: Optional["KivoINIFile"] = None, fname: TextArg = "",
                    secname: TextArg = "SmartSwitch") -> None:
        """Saves the model and port count in section `secname`; a failure shows an error box."""
        check(lib.kvc_switch_write_to_file(self._handle, INIFile._handle if INIFile else None, *text_in(fname),
                                           *text_in(secname)))

    def ReadFromFile(self, INIFile: Optional["KivoINIFile"] = None, fname: TextArg = "",
                     secname: TextArg = "SmartSwitch") -> bool:
        """Loads the model and port count; True only when both keys were found."""
        complete = c_int()
        check(lib.kvc_switch_read_from_file(self._handle, INIFile._handle if INIFile else None, *text_in(fname),
                                            *text_in(secname), ctypes.byref(complete)))
        return complete.value != 0
