# SPDX-License-Identifier: MIT
"""The machine's ports, port mapping, the hooks a program installs on its thread (message boxes,
the progress window with cancel, the message pump, the trace folder) and the version."""
from __future__ import annotations

import ctypes
import threading
from dataclasses import dataclass
from enum import IntEnum
from typing import Any, Callable, Optional, Protocol

from . import _controls
from ._controls import Guard
from ._native import TextArg, c_int, c_int32, c_size_t, check, lib, text_in, text_out


class PortState(IntEnum):
    """Whether a present port can be opened now."""

    FREE = 0  # no visible program holds it and this user may open it
    IN_USE = 1  # a program holds it
    NO_ACCESS = 2  # this user lacks read and write permission
    NETWORK = 3  # mapped to a network port; listing never connects


@dataclass(frozen=True)
class UsbAdapter:
    """What the device tree tells about a USB serial adapter."""

    vendor_id: int
    product_id: int
    serial_number: str
    manufacturer: str
    product: str


@dataclass(frozen=True)
class PortInfo:
    """One present serial port."""

    number: int  # the COM number, 1 to 256
    device_path: str  # the path the number resolves to
    device_node: str  # that path with links followed, such as /dev/ttyUSB0
    state: PortState
    holder_pid: int  # the process holding the port, when visible; else 0
    holder_program: str  # that process's program name, when visible
    usb: Optional[UsbAdapter]  # set for USB adapters

    @property
    def name(self) -> str:
        """The port's COM name, such as "COM3"."""
        return f"COM{self.number}"


class _PortInfoStruct(ctypes.Structure):
    _fields_ = [("number", c_int32), ("device_path", ctypes.c_char_p), ("device_node", ctypes.c_char_p),
                ("state", c_int32), ("holder_pid", c_int32), ("holder_program", ctypes.c_char_p), ("is_usb", c_int),
                ("usb_vendor_id", ctypes.c_uint16), ("usb_product_id", ctypes.c_uint16),
                ("usb_serial_number", ctypes.c_char_p), ("usb_manufacturer", ctypes.c_char_p),
                ("usb_product", ctypes.c_char_p)]


def _text(value: Optional[bytes]) -> str:
    return (value or b"").decode("utf-8", "replace")


def list_ports() -> list[PortInfo]:
    """Every present serial port among the numbers 1 to 256, in ascending order; opens none."""
    entries = ctypes.POINTER(_PortInfoStruct)()
    count = c_size_t()
    check(lib.kvc_list_ports(ctypes.byref(entries), ctypes.byref(count)))
    try:
        ports = []
        for i in range(count.value):
            e = entries[i]
            usb = (UsbAdapter(e.usb_vendor_id, e.usb_product_id, _text(e.usb_serial_number), _text(e.usb_manufacturer),
                              _text(e.usb_product)) if e.is_usb else None)
            ports.append(PortInfo(e.number, _text(e.device_path), _text(e.device_node), PortState(e.state),
                                  e.holder_pid, _text(e.holder_program), usb))
        return ports
    finally:
        lib.kvc_free_port_list(entries, count.value)


def is_com_port_available(port: int) -> int:
    """0 when port number `port` exists and can be opened, 2 when no device stands behind it, 5
    when another program holds it."""
    status = c_int32()
    check(lib.kvc_is_com_port_available(int(port), ctypes.byref(status)))
    return status.value


def map_port(port: int, device: TextArg) -> None:
    """Maps port number `port` to `device` (/dev/ttyUSB0, rfc2217://host:port) for this process;
    an empty device removes the mapping."""
    check(lib.kvc_map_port(int(port), *text_in(device or "")))


def map_device(device: str) -> int:
    """Maps `device` to a port number of its own for this process and returns it: the number the
    ports folder already gives that device, else a free one from 256 down. No number in use is
    ever given; end the mapping with unmap_device."""
    number = c_int32()
    check(lib.kvc_map_device(*text_in(device), ctypes.byref(number)))
    return number.value


def unmap_device(port: int, device: str) -> bool:
    """Ends the mapping of `port` made by map_device, only while it still names `device`."""
    removed = c_int()
    check(lib.kvc_unmap_device(int(port), *text_in(device), ctypes.byref(removed)))
    return removed.value != 0


def port_device_path(port: int) -> str:
    """The device path port number `port` resolves to (it may not exist)."""
    return text_out(lambda p, n: lib.kvc_port_device_path(int(port), p, n)).decode("utf-8", "replace")


def ports_folder() -> str:
    """The folder whose "com<n>" links name the devices of port numbers."""
    return text_out(lib.kvc_ports_folder).decode("utf-8", "replace")


def version() -> str:
    """The version of the library in use, such as "1.0.0"."""
    return lib.kvc_version().decode("ascii")


# ---- Hooks of the calling thread ----

_installed = threading.local()  # the ctypes callbacks the library holds, kept alive here


def _keep(name: str, value: Any) -> None:
    setattr(_installed, name, value)


def hook_guard() -> Guard:
    """The calling thread's keeper of exceptions raised inside installed hooks."""
    guard = getattr(_installed, "guard", None)
    if guard is None:
        guard = Guard()
        _installed.guard = guard
    return guard


MessageBoxHandler = Callable[[str, int, str, str, int], None]


def set_message_box_handler(handler: Optional[MessageBoxHandler]) -> None:
    """Shows the library's message boxes through `handler(prompt, flags, title, help_file,
    help_context)` on this thread; None returns to the default (standard error). Line breaks in
    the prompt are single CR characters."""
    _keep("message_box_handler", handler)
    if handler is None:
        check(lib.kvc_set_message_box_handler(None, None))
        _keep("message_box", None)
        return
    guard = hook_guard()

    def show(_: Any, prompt: Any, prompt_len: int, flags: int, title: Any, title_len: int, help_file: Any,
             help_len: int, context: int) -> None:
        guard.quietly(lambda: handler(_controls.text(prompt, prompt_len), flags, _controls.text(title, title_len),
                                      _controls.text(help_file, help_len), context))

    callback = _controls.MessageBox(show)
    check(lib.kvc_set_message_box_handler(ctypes.cast(callback, ctypes.c_void_p), None))
    _keep("message_box", callback)


def message_box_handler() -> Optional[MessageBoxHandler]:
    """The handler set_message_box_handler installed on this thread, or None for the default."""
    return getattr(_installed, "message_box_handler", None)


def progress_window() -> Optional["ProgressWindow"]:
    """The window set_progress_window installed on this thread, or None for the default."""
    return getattr(_installed, "progress_window", None)


class ProgressWindow(Protocol):
    """The progress window of a download, as the C++ interface's ProgressWindow."""

    def set_message(self, text: str) -> None: ...
    def set_visible(self, visible: bool) -> None: ...
    def report_progress(self, total: int, done: int, received: int) -> bool: ...  # False cancels
    def close_window(self) -> None: ...


def set_progress_window(window: Optional[ProgressWindow]) -> None:
    """Makes `window` the progress window of this thread's downloads (one object for all of
    them); None returns to the default (a bar on a terminal's standard error). A report that
    returns False, or raises, cancels the download; the exception is raised when it returns."""
    _keep("progress_window", window)
    if window is None:
        check(lib.kvc_set_progress_window(None))
        _keep("progress", None)
        return
    guard = hook_guard()

    def report(_: Any, total: int, done: int, received: int) -> int:
        go_on = guard.quietly(lambda: window.report_progress(total, done, received), failed=False)
        return 0 if go_on is not False else 1

    struct = _controls.ProgressWindowStruct(
        None,
        _controls.ProgressMessage(lambda _, t, n: guard.quietly(lambda: window.set_message(_controls.text(t, n)))),
        _controls.ProgressVisible(lambda _, v: guard.quietly(lambda: window.set_visible(v != 0))),
        _controls.ProgressReport(report),
        _controls.ProgressClose(lambda _: guard.quietly(window.close_window)))
    check(lib.kvc_set_progress_window(ctypes.byref(struct)))
    _keep("progress", struct)


def request_download_cancel() -> None:
    """Asks the running download of this process to stop, as a cancel does; any thread may ask."""
    lib.kvc_request_download_cancel()


def set_message_pump(pump: Optional[Callable[[], None]]) -> None:
    """Runs `pump()` for the program's pending events during the library's waits on this thread;
    None returns to the default."""
    if pump is None:
        check(lib.kvc_set_message_pump(None, None))
        _keep("pump", None)
        return
    guard = hook_guard()
    callback = _controls.MessagePump(lambda _: guard.quietly(pump))
    check(lib.kvc_set_message_pump(ctypes.cast(callback, ctypes.c_void_p), None))
    _keep("pump", callback)


def set_trace_folder(folder: Optional[str]) -> None:
    """Writes the trace file "dbgkcom.txt" into `folder` (for the whole process); None or "" returns
    to the library's own folder."""
    check(lib.kvc_set_trace_folder(*text_in(folder or "")))


def trace_folder() -> str:
    """The folder the trace file is written to now."""
    return text_out(lib.kvc_get_trace_folder).decode("utf-8", "replace")


def trace_file_path() -> str:
    """The full path of the trace file."""
    return text_out(lib.kvc_trace_file_path).decode("utf-8", "replace")
