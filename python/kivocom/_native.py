# SPDX-License-Identifier: MIT
"""Loading libkivocom (and the simulator library) and declaring the C functions for ctypes.

The library is looked for, in order: the file named by ``KIVOCOM_LIBRARY``; a copy in this
package's own folder (``kivocom/lib``); the install prefix the package was installed under
(``<prefix>/lib/python3/dist-packages/kivocom`` looks in ``<prefix>/lib*``); the system's search
path. The simulator library is ``KIVOCOM_SIMULATOR_LIBRARY``, else the file beside libkivocom.
"""
from __future__ import annotations

import ctypes
import ctypes.util
import os
from pathlib import Path
from typing import Callable, Iterator, Optional

from .errors import Error

c_int = ctypes.c_int
c_int16 = ctypes.c_int16
c_int32 = ctypes.c_int32
c_int64 = ctypes.c_int64
c_size_t = ctypes.c_size_t
c_void_p = ctypes.c_void_p
c_char_p = ctypes.c_char_p
c_char_ptr = ctypes.POINTER(ctypes.c_char)
P = ctypes.POINTER

NTS = ctypes.c_size_t(-1).value  # KVC_NTS: a text up to its NUL


def _package_dir() -> Path:
    return Path(__file__).resolve().parent


def _candidates(stem: str, env: str, beside: Optional[Path]) -> Iterator[str]:
    named = os.environ.get(env)
    if named:
        yield named
    if beside is not None:
        yield from (str(p) for p in sorted(beside.parent.glob(f"lib{stem}.so*")))
    yield from (str(p) for p in sorted((_package_dir() / "lib").glob(f"lib{stem}.so*")))
    # <prefix>/lib/python3/dist-packages/kivocom: the prefix is three folders up from the package.
    parents = _package_dir().parents
    if len(parents) > 3:
        prefix = parents[3]
        for libdir in sorted(prefix.glob("lib*")):
            yield from (str(p) for p in sorted(libdir.glob(f"lib{stem}.so.*")))
            yield from (str(p) for p in sorted(libdir.glob(f"*/lib{stem}.so.*")))
    found = ctypes.util.find_library(stem)
    if found:
        yield found
    yield f"lib{stem}.so.1"


def _load(stem: str, env: str, beside: Optional[Path] = None) -> ctypes.CDLL:
    tried = []
    for candidate in _candidates(stem, env, beside):
        try:
            return ctypes.CDLL(candidate)
        except OSError as error:
            tried.append(f"{candidate}: {error}")
    raise OSError(f"lib{stem} was not found; set {env} to its path. Tried:\n  " + "\n  ".join(tried))


# ---- Declarations: name -> (argument types) ; every function returns int32_t unless noted ----

_PORT = c_void_p
_TEXT = (c_char_p, c_size_t)
_OUT_TEXT = (P(c_char_ptr), P(c_size_t))

_LIBRARY_FUNCTIONS: dict[str, tuple] = {
    "kvc_last_error_number": (),
    "kvc_set_last_error": (c_int32, *_TEXT, *_TEXT),
    "kvc_port_new": (P(c_void_p),),
    "kvc_port_get_line_open": (_PORT, P(c_int)),
    "kvc_port_get_line_settings": (_PORT, *_OUT_TEXT),
    "kvc_port_line_input": (_PORT, c_int32, *_OUT_TEXT),
    "kvc_port_line_output": (_PORT, *_TEXT),
    "kvc_port_frame_command": (_PORT, *_TEXT, *_TEXT, *_OUT_TEXT),
    "kvc_port_baud_rate_name": (_PORT, c_int32, *_OUT_TEXT),
    "kvc_port_is_configured": (_PORT, P(c_int)),
    "kvc_port_clear_buffers": (_PORT,),
    "kvc_port_open_port": (_PORT, *_TEXT, P(c_int)),
    "kvc_port_close_port": (_PORT,),
    "kvc_port_test_smart_switch": (_PORT,),
    "kvc_port_write_port": (_PORT, P(c_int32), *_TEXT, *_TEXT, *_TEXT, *_TEXT),
    "kvc_port_read_port": (_PORT, P(c_int32), *_TEXT, *_TEXT, *_TEXT, *_OUT_TEXT),
    "kvc_port_download": (_PORT, c_int, P(c_int32), *_TEXT, *_TEXT, *_TEXT, c_int32, *_OUT_TEXT),
    "kvc_port_line_error": (_PORT, P(c_int32), *_OUT_TEXT, *_OUT_TEXT),
    "kvc_port_fill_com_ports_combo": (_PORT, c_void_p, c_int16),
    "kvc_port_fill_baud_rates_combo": (_PORT, c_void_p),
    "kvc_port_write_to_file": (_PORT, c_void_p, *_TEXT, *_TEXT),
    "kvc_port_read_from_file": (_PORT, c_void_p, *_TEXT, *_TEXT, P(c_int)),
    "kvc_port_update_debug_file": (_PORT, *_TEXT),
    "kvc_switch_new": (P(c_void_p),),
    "kvc_switch_get_current_port": (c_void_p, *_OUT_TEXT),
    "kvc_switch_get_style": (c_void_p, P(c_int32)),
    "kvc_switch_set_style": (c_void_p, c_int32),
    "kvc_switch_get_num_ports": (c_void_p, P(c_int16)),
    "kvc_switch_set_parent": (c_void_p, c_void_p),
    "kvc_switch_get_parent": (c_void_p, P(c_void_p)),
    "kvc_switch_write_to_file": (c_void_p, c_void_p, *_TEXT, *_TEXT),
    "kvc_switch_read_from_file": (c_void_p, c_void_p, *_TEXT, *_TEXT, P(c_int)),
    "kvc_ini_new": (P(c_void_p),),
    "kvc_ini_set_file_name": (c_void_p, *_TEXT),
    "kvc_ini_get_file_name": (c_void_p, *_OUT_TEXT),
    "kvc_ini_set_section": (c_void_p, *_TEXT),
    "kvc_ini_get_section": (c_void_p, *_OUT_TEXT),
    "kvc_ini_read_boolean": (c_void_p, *_TEXT, P(c_int), P(c_int)),
    "kvc_ini_read_integer": (c_void_p, *_TEXT, P(c_int16), P(c_int)),
    "kvc_ini_read_long": (c_void_p, *_TEXT, P(c_int32), P(c_int)),
    "kvc_ini_read_string": (c_void_p, *_TEXT, *_OUT_TEXT, P(c_int)),
    "kvc_ini_write_boolean": (c_void_p, *_TEXT, c_int),
    "kvc_ini_write_integer": (c_void_p, *_TEXT, c_int16),
    "kvc_ini_write_long": (c_void_p, *_TEXT, c_int32),
    "kvc_ini_write_string": (c_void_p, *_TEXT, *_TEXT),
    "kvc_list_ports": (c_void_p, P(c_size_t)),
    "kvc_is_com_port_available": (c_int32, P(c_int32)),
    "kvc_map_port": (c_int32, *_TEXT),
    "kvc_map_device": (*_TEXT, P(c_int32)),
    "kvc_unmap_device": (c_int32, *_TEXT, P(c_int)),
    "kvc_port_device_path": (c_int32, *_OUT_TEXT),
    "kvc_ports_folder": _OUT_TEXT,
    "kvc_set_message_box_handler": (c_void_p, c_void_p),
    "kvc_set_progress_window": (c_void_p,),
    "kvc_request_download_cancel": (),
    "kvc_set_message_pump": (c_void_p, c_void_p),
    "kvc_set_trace_folder": _TEXT,
    "kvc_get_trace_folder": _OUT_TEXT,
    "kvc_trace_file_path": _OUT_TEXT,
    "kvc_wait_milliseconds": (c_int32,),
}

# The port's simple properties: name -> C type; "get" alone for read-only ones.
PORT_PROPERTIES: dict[str, tuple[type, bool]] = {
    "check_non_ascii": (c_int, True),
    "auto_close": (c_int, True),
    "debugging": (c_int, True),
    "uses_smart_switch": (c_int, True),
    "use_irda_dongle": (c_int, True),
    "port": (c_int32, True),
    "controller_style": (c_int32, True),
    "parity": (c_int32, False),
    "data_bits": (c_int32, False),
    "stop_bits": (c_int32, False),
    "baud_rate": (c_int32, True),
    "min_baud_rate": (c_int32, True),
    "max_baud_rate": (c_int32, True),
    "retries": (c_int16, True),
    "timeout": (c_int32, True),
    "strip_crlf": (c_int, True),
}
for _name, (_ctype, _settable) in PORT_PROPERTIES.items():
    _LIBRARY_FUNCTIONS[f"kvc_port_get_{_name}"] = (_PORT, P(_ctype))
    if _settable:
        _LIBRARY_FUNCTIONS[f"kvc_port_set_{_name}"] = (_PORT, _ctype)

_SIMULATOR_FUNCTIONS: dict[str, tuple] = {
    "kvc_sim_behaviour_default": (c_void_p,),
    "kvc_sim_new": (P(c_void_p),),
    "kvc_sim_device_path": (c_void_p, *_OUT_TEXT),
    "kvc_sim_set_baud_rate": (c_void_p, c_int32),
    "kvc_sim_get_baud_rate": (c_void_p, P(c_int32)),
    "kvc_sim_add_instrument": (c_void_p, c_int32, *_TEXT, *_TEXT, P(c_size_t)),
    "kvc_sim_set_reply": (c_void_p, c_size_t, *_TEXT, *_TEXT),
    "kvc_sim_get_reply": (c_void_p, c_size_t, *_TEXT, *_OUT_TEXT, P(c_int)),
    "kvc_sim_set_default_reply": (c_void_p, c_size_t, *_TEXT),
    "kvc_sim_set_acknowledgement": (c_void_p, c_size_t, *_TEXT),
    "kvc_sim_set_line_end": (c_void_p, c_size_t, *_TEXT),
    "kvc_sim_set_behaviour": (c_void_p, c_size_t, c_void_p),
    "kvc_sim_set_answer_function": (c_void_p, c_size_t, c_void_p, c_void_p),
    "kvc_sim_set_download": (c_void_p, c_size_t, *_TEXT, c_int32, c_int, c_int32, c_int32),
    "kvc_sim_use_smart_switch": (c_void_p, c_int32),
    "kvc_sim_remove_smart_switch": (c_void_p,),
    "kvc_sim_connected_switch_port": (c_void_p, *_OUT_TEXT),
    "kvc_sim_received": (c_void_p, *_OUT_TEXT),
    "kvc_sim_clear_received": (c_void_p,),
    "kvc_sim_wait_for_received": (c_void_p, *_TEXT, c_int32, P(c_int)),
    "kvc_sim_unplug": (c_void_p,),
    "kvc_sim_unplugged": (c_void_p, P(c_int)),
}


def _declare(library: ctypes.CDLL, table: dict[str, tuple]) -> None:
    for name, argtypes in table.items():
        function = getattr(library, name)
        function.argtypes = list(argtypes)
        function.restype = c_int32


lib = _load("kivocom", "KIVOCOM_LIBRARY")
_declare(lib, _LIBRARY_FUNCTIONS)
for _name, _restype, _argtypes in (
    ("kvc_free", None, (c_void_p,)),
    ("kvc_last_error_source", c_char_p, (P(c_size_t),)),
    ("kvc_last_error_description", c_char_p, (P(c_size_t),)),
    ("kvc_version", c_char_p, ()),
    ("kvc_port_free", None, (c_void_p,)),
    ("kvc_switch_free", None, (c_void_p,)),
    ("kvc_ini_free", None, (c_void_p,)),
    ("kvc_free_port_list", None, (c_void_p, c_size_t)),
):
    _function = getattr(lib, _name)
    _function.restype = _restype
    _function.argtypes = list(_argtypes)

_simulator: Optional[ctypes.CDLL] = None


def simulator_library() -> ctypes.CDLL:
    """The simulator library, loaded on first use (programs that never simulate need not have it)."""
    global _simulator
    if _simulator is None:
        beside = Path(lib._name) if os.path.isabs(lib._name) else None
        _simulator = _load("kivocom_simulator", "KIVOCOM_SIMULATOR_LIBRARY", beside)
        _declare(_simulator, _SIMULATOR_FUNCTIONS)
        _simulator.kvc_sim_free.restype = None
        _simulator.kvc_sim_free.argtypes = [c_void_p]
    return _simulator


# ---- Texts across the boundary ----

TextArg = Optional[str | bytes]


def text_in(value: TextArg) -> tuple[Optional[bytes], int]:
    """A Python text as the C interface's pointer and length; None gives the C++ default.

    A str travels as one byte per character (Latin-1), as texts travel on the serial line; bytes
    travel as they are. Anything else is a TypeError (bytes(123) would be 123 NUL bytes)."""
    if value is None:
        return None, 0
    if isinstance(value, str):
        data = value.encode("latin-1")
    elif isinstance(value, (bytes, bytearray, memoryview)):
        data = bytes(value)
    else:
        raise TypeError(f"a text must be str or bytes, not {type(value).__name__}")
    return data, len(data)


def take_bytes(pointer: "ctypes._Pointer", length: int) -> bytes:
    """The bytes of a buffer the library returned, which is then freed."""
    if not pointer:
        return b""
    try:
        return ctypes.string_at(pointer, length)
    finally:
        lib.kvc_free(pointer)


def text_out(call: Callable[[P(c_char_ptr), P(c_size_t)], int]) -> bytes:
    """Runs `call` with a text out-pointer pair and returns the text, raising on a failed status."""
    pointer = c_char_ptr()
    length = c_size_t()
    check(call(ctypes.byref(pointer), ctypes.byref(length)))
    return take_bytes(pointer, length.value)


def _bounds(ctype: type) -> tuple[int, int]:
    bits = 8 * ctypes.sizeof(ctype)
    signed = ctype(-1).value < 0
    return (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if signed else (0, (1 << bits) - 1)


def in_range(value: int, ctype: type) -> int:
    """`value` as an int that fits `ctype`; OverflowError otherwise (ctypes would cut it silently)."""
    if isinstance(value, float) and not value.is_integer():
        raise TypeError(f"{value} is not a whole number")
    value = int(value)
    low, high = _bounds(ctype)
    if not low <= value <= high:
        raise OverflowError(f"{value} does not fit the library's {8 * ctypes.sizeof(ctype)}-bit integer")
    return value


def last_error(status: int) -> Error:
    """The calling thread's last error of the C interface, for a call that returned `status`."""
    number = lib.kvc_last_error_number() or status
    source = (lib.kvc_last_error_source(None) or b"").decode("latin-1")
    description = (lib.kvc_last_error_description(None) or b"").decode("latin-1")
    return Error(number, source, description)


def check(status: int) -> None:
    """Raises the thread's last error when `status` is not 0."""
    if status != 0:
        raise last_error(status)
