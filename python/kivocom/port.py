# SPDX-License-Identifier: MIT
"""CCOMPort, as the C++ interface has it: one serial port set up for one kind of instrument."""
from __future__ import annotations

import ctypes
import threading
from dataclasses import dataclass
from typing import TYPE_CHECKING, Optional, Protocol

from . import _native
from ._controls import image_combo, list_control
from ._native import (TextArg, c_char_ptr, c_int, c_int32, c_size_t, check, in_range, lib, take_bytes, text_in,
                      text_out)
from .system import hook_guard
from .enums import EBaudRate, ECOMError, EControllerStyle, EDataBits, EParity, EStopBits

if TYPE_CHECKING:
    from .ini import KivoINIFile


@dataclass(frozen=True)
class ErrorRecord:
    """The fields of one error; number 0 means none."""

    number: int
    source: str
    description: str


class ImageCombo(Protocol):
    """A combo with images that FillCOMPortsCombo fills: the program's own widget."""

    def clear(self) -> None: ...
    def add(self, key: str, text: str, image: int) -> int: ...
    def set_tag(self, item: int, tag: str) -> None: ...
    def set_selected(self, item: int, selected: bool) -> None: ...


class ListControl(Protocol):
    """A combo or list box whose items carry a number, that FillBaudRatesCombo fills."""

    def clear(self) -> None: ...
    def add_item(self, text: str) -> None: ...
    def new_index(self) -> int: ...
    def item_data(self, index: int, value: int) -> None: ...


# Port handles whose last reference went away on a thread other than their owner's, by owner: the
# library frees a handle only on the thread that made it, so the owner frees them at its next port.
_orphans: dict[int, list[ctypes.c_void_p]] = {}
_orphans_lock = threading.Lock()


def free_orphans() -> None:
    """Frees this thread's port handles that were dropped on other threads."""
    with _orphans_lock:
        handles = _orphans.pop(threading.get_ident(), [])
    for handle in handles:
        lib.kvc_port_free(handle)


def _property(name: str, kind: type, doc: str, settable: bool = True) -> property:
    getter = getattr(lib, f"kvc_port_get_{name}")
    ctype = _native.PORT_PROPERTIES[name][0]

    def get(self: "CCOMPort"):
        value = ctype()
        check(getter(self._handle, ctypes.byref(value)))
        return kind(value.value) if kind is not bool else value.value != 0

    if not settable:
        return property(get, doc=doc)
    setter = getattr(lib, f"kvc_port_set_{name}")

    def set_(self: "CCOMPort", value) -> None:
        check(setter(self._handle, _native.in_range(value, ctype)))

    return property(get, set_, doc=doc)


class CCOMPort:
    """One serial port for one kind of instrument controller, with the C++ class's members.

    Texts go in as str (one byte per character, Latin-1) or bytes and come back as str with one
    character per byte received. A port object is used on the thread that created it (a call from
    another thread raises kivocom.Error 0x8001010E); all ports of a thread share one line. For an
    instrument shared by threads, use kivocom.open(), whose connections take any thread's calls."""

    def __init__(self) -> None:
        free_orphans()
        handle = ctypes.c_void_p()
        check(lib.kvc_port_new(ctypes.byref(handle)))
        self._owner = threading.get_ident()
        self._handle = handle
        self._code = c_int32()

    def __del__(self) -> None:
        self.free()

    def free(self) -> None:
        """Ends the library's port object now (closing the line when it is open); the object
        cannot be used afterwards. Dropping the last reference does the same."""
        handle = getattr(self, "_handle", None)
        if not handle:
            return
        self._handle = None
        if threading.get_ident() == self._owner:
            lib.kvc_port_free(handle)
            return
        with _orphans_lock:
            _orphans.setdefault(self._owner, []).append(handle)

    CheckNonAscii = _property("check_non_ascii", bool, "Whether replies with characters above 128 are CE_INVALID_DATA.")
    AutoClose = _property("auto_close", bool, "Whether every exchange closes the line at its end.")
    Debugging = _property("debugging", bool, "Whether operations append lines to the trace file.")
    UsesSmartSwitch = _property("uses_smart_switch", bool, "Whether the line is routed through the smart switch.")
    UseIrDADongle = _property("use_irda_dongle", bool, "Whether opening runs the IrDA dongle start-up.")
    port = _property("port", int, "The port number opened next (-1: none); any number is stored.")
    ControllerStyle = _property("controller_style", EControllerStyle, "The controller style; fixes the line settings.")
    Parity = _property("parity", EParity, "Parity, fixed by the controller style.", settable=False)
    DataBits = _property("data_bits", EDataBits, "Data bits, fixed by the controller style.", settable=False)
    StopBits = _property("stop_bits", EStopBits, "Stop bits, fixed by the controller style.", settable=False)
    BaudRate = _property("baud_rate", EBaudRate, "The line speed; a rate outside the limits raises 0x80040036.")
    MinBaudRate = _property("min_baud_rate", EBaudRate, "The lowest accepted baud rate.")
    MaxBaudRate = _property("max_baud_rate", EBaudRate, "The highest accepted baud rate.")
    Retries = _property("retries", int, "Transmissions of a command in all (1 or less means one).")
    TimeOut = _property("timeout", int, "Milliseconds an exchange waits for a reply in each attempt.")
    StripCRLF = _property("strip_crlf", bool, "Whether replies have line ends turned into blanks and are trimmed.")

    @property
    def LineOpen(self) -> bool:
        """Whether the thread's serial line (the port's COMControl) is open now."""
        value = c_int()
        check(lib.kvc_port_get_line_open(self._handle, ctypes.byref(value)))
        return value.value != 0

    @property
    def LineSettings(self) -> str:
        """The settings text the thread's line was last given, such as "9600,N,8,1"."""
        return text_out(lambda p, n: lib.kvc_port_get_line_settings(self._handle, p, n)).decode("latin-1")

    def LineInput(self, timeout_ms: int = 0) -> str:
        """Waits up to `timeout_ms` for bytes on the thread's open line and returns those waiting
        (empty after the time-out), such as an omega acknowledgement; raises 8018 when closed."""
        return text_out(lambda p, n: lib.kvc_port_line_input(self._handle, in_range(timeout_ms, c_int32), p, n)).decode("latin-1")

    def LineOutput(self, data: TextArg) -> None:
        """Sends `data` on the thread's open line exactly as given (no lone CR, framing or
        clearing) and waits until it is on the wire; raises 8018 when the line is closed."""
        check(lib.kvc_port_line_output(self._handle, *text_in(data)))

    def FrameCommand(self, cmd: TextArg, Address: TextArg = "") -> str:
        """The text WritePort sends for `cmd` before its final CR: framed for the controller
        style (an omega poll frame for `Address`), blanks around it removed."""
        return text_out(lambda p, n: lib.kvc_port_frame_command(self._handle, *text_in(cmd), *text_in(Address), p,
                                                                n)).decode("latin-1")

    def BaudRateName(self, vData: int = -2) -> str:
        """The text of baud rate `vData` ("150" ... "921600"); -2 names the current rate."""
        return text_out(lambda p, n: lib.kvc_port_baud_rate_name(self._handle, in_range(vData, c_int32), p, n)).decode("latin-1")

    def IsConfigured(self) -> bool:
        """Whether both the baud rate and the port number are chosen."""
        value = c_int()
        check(lib.kvc_port_is_configured(self._handle, ctypes.byref(value)))
        return value.value != 0

    def ClearBuffers(self) -> None:
        """Empties both buffers of the line; raises 8018 when it is closed."""
        check(lib.kvc_port_clear_buffers(self._handle))

    def OpenPort(self, ssport: TextArg = "") -> bool:
        """Opens the line with this port's settings, routing the switch to `ssport`; False when no
        port is chosen; raises 0x80040033 when the line cannot be opened."""
        opened = c_int()
        check(lib.kvc_port_open_port(self._handle, *text_in(ssport), ctypes.byref(opened)))
        return opened.value != 0

    def ClosePort(self) -> None:
        """Releases the switch port (when used) and closes the line."""
        check(lib.kvc_port_close_port(self._handle))

    def TestSmartSwitch(self) -> None:
        """Steps the smart switch through all its ports, 200 ms each."""
        check(lib.kvc_port_test_smart_switch(self._handle))

    def WritePort(self, cmd: TextArg = "", ssport: TextArg = "", Address: TextArg = "", SetStr: TextArg = "") -> ECOMError:
        """Sends `cmd` framed for the controller style; returns the exchange's ECOMError. A line
        that cannot be opened raises."""
        check(lib.kvc_port_write_port(self._handle, ctypes.byref(self._code), *text_in(cmd), *text_in(ssport),
                                      *text_in(Address), *text_in(SetStr)))
        return ECOMError(self._code.value)

    def ReadPort(self, cmd: TextArg = "", ssport: TextArg = "", Address: TextArg = "") -> tuple[str, ECOMError]:
        """Sends `cmd` and returns the reply and the exchange's ECOMError (CE_NONE, CE_TIMEOUT,
        CE_INVALID_DATA or CE_ABORTED); never raises for the exchange's own outcome."""
        return self._read(cmd, ssport, Address).decode("latin-1"), ECOMError(self._code.value)

    def _read(self, cmd: TextArg, ssport: TextArg, address: TextArg) -> bytes:
        # The exchange's hot path: one foreign call, one copy, one free. The reply's out-pointers
        # are the call's own, since the library clears them even for a call it refuses.
        data, size = text_in(cmd)
        reply, length = c_char_ptr(), c_size_t()
        status = lib.kvc_port_read_port(self._handle, ctypes.byref(self._code), data, size,
                                        *text_in(ssport), *text_in(address), ctypes.byref(reply), ctypes.byref(length))
        check(status)
        return take_bytes(reply, length.value)

    def Download(self, BinaryMode: bool = False, cmd: TextArg = "", ssport: TextArg = "", Address: TextArg = "",
                 readings: int = 1) -> tuple[str, ECOMError]:
        """Sends `cmd` and returns everything received until the line stays silent, and the
        ECOMError; progress goes to the thread's progress window (see kivocom.set_progress_window)."""
        return self._download(BinaryMode, cmd, ssport, Address, readings).decode("latin-1"), ECOMError(self._code.value)

    def _download(self, binary: bool, cmd: TextArg, ssport: TextArg, address: TextArg, readings: int) -> bytes:
        reply = c_char_ptr()
        length = c_size_t()
        check(lib.kvc_port_download(self._handle, 1 if binary else 0, ctypes.byref(self._code), *text_in(cmd),
                                    *text_in(ssport), *text_in(address), in_range(readings, c_int32), ctypes.byref(reply),
                                    ctypes.byref(length)))
        data = take_bytes(reply, length.value)
        hook_guard().reraise()  # a progress window that raised cancelled the download
        return data

    @property
    def LineError(self) -> ErrorRecord:
        """Why the last ReadPort or Download ended early (a lost line); number 0 when it held."""
        number = c_int32()
        source, source_len = c_char_ptr(), c_size_t()
        description, description_len = c_char_ptr(), c_size_t()
        check(lib.kvc_port_line_error(self._handle, ctypes.byref(number), ctypes.byref(source),
                                      ctypes.byref(source_len), ctypes.byref(description),
                                      ctypes.byref(description_len)))
        return ErrorRecord(number.value, take_bytes(source, source_len.value).decode("latin-1"),
                           take_bytes(description, description_len.value).decode("latin-1"))

    def FillCOMPortsCombo(self, ctrl: ImageCombo, CurrentPort: int = 0) -> None:
        """Fills `ctrl` with the ports present, marking those in use, and selects `CurrentPort`."""
        with image_combo(ctrl) as combo:
            check(lib.kvc_port_fill_com_ports_combo(self._handle, ctypes.byref(combo), int(CurrentPort)))

    def FillBaudRatesCombo(self, ctrl: ListControl) -> None:
        """Fills `ctrl` with the baud rates from MinBaudRate to MaxBaudRate, each carrying its index."""
        with list_control(ctrl) as control:
            check(lib.kvc_port_fill_baud_rates_combo(self._handle, ctypes.byref(control)))

    def WriteToFile(self, INIFile: Optional["KivoINIFile"] = None, fname: TextArg = "", secname: TextArg = "COMPort") -> None:
        """Saves the settings (and the switch's in "<secname> - SmartSwitch") through `INIFile`, or
        in file `fname`; a failure shows the library's error box."""
        check(lib.kvc_port_write_to_file(self._handle, INIFile._handle if INIFile else None, *text_in(fname),
                                         *text_in(secname)))

    def ReadFromFile(self, INIFile: Optional["KivoINIFile"] = None, fname: TextArg = "", secname: TextArg = "COMPort") -> bool:
        """Loads the settings and the switch's; True only when every key was found."""
        complete = c_int()
        check(lib.kvc_port_read_from_file(self._handle, INIFile._handle if INIFile else None, *text_in(fname),
                                          *text_in(secname), ctypes.byref(complete)))
        return complete.value != 0

    def UpdateDebugFile(self, Text: TextArg = "") -> None:
        """Appends one line (time stamp, TAB, `Text`) to the trace file."""
        check(lib.kvc_port_update_debug_file(self._handle, *text_in(Text)))


