# SPDX-License-Identifier: MIT
"""Simulator: laboratory instruments played on a pseudo-terminal, for testing programs without
instruments. Map a port to it (`Simulator.port`, or `kivocom.open(sim.device)`) and exchanges
travel a real line to instruments that answer as configured."""
from __future__ import annotations

import ctypes
import logging
from dataclasses import dataclass
from typing import Callable, Optional

from ._native import (TextArg, c_char_ptr, c_int, c_int32, c_int64, c_size_t, check, in_range, simulator_library,
                      take_bytes, text_in, text_out)
from .enums import EControllerStyle, ESmartSwitchStyle
from .system import map_device, unmap_device

_STYLE_NAMES = {"kivo": EControllerStyle.CS_KIVO, "omega": EControllerStyle.CS_OMEGA,
                "azonix": EControllerStyle.CS_AZONIX, "xsys": EControllerStyle.CS_XSYS}
_SWITCH_NAMES = {"bb4": ESmartSwitchStyle.SSS_BB4PORT, "bb8": ESmartSwitchStyle.SSS_BB8PORT,
                 "bt528": ESmartSwitchStyle.SSS_BT528AP}


def controller_style(style: str | int) -> EControllerStyle:
    """The controller style for a name ("kivo", "omega", "azonix", "xsys") or number."""
    if isinstance(style, str):
        try:
            return _STYLE_NAMES[style.lower()]
        except KeyError:
            raise ValueError(f"unknown controller style {style!r}; use one of {', '.join(_STYLE_NAMES)}") from None
    return EControllerStyle(style)


def switch_model(model: str | int) -> ESmartSwitchStyle:
    """The smart switch model for a name ("bb4", "bb8", "bt528") or number."""
    if isinstance(model, str):
        try:
            return _SWITCH_NAMES[model.lower()]
        except KeyError:
            raise ValueError(f"unknown switch model {model!r}; use one of {', '.join(_SWITCH_NAMES)}") from None
    return ESmartSwitchStyle(model)


_AnswerFunction = ctypes.CFUNCTYPE(c_int, ctypes.c_void_p, ctypes.POINTER(ctypes.c_char), c_size_t,
                                   ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(c_size_t))
Answerer = Callable[[str], Optional[TextArg]]


def _answer_function(answerer: Answerer) -> "_AnswerFunction":
    # Called on the simulator's thread; the answer's bytes stay referenced here until the next
    # call, as the simulator copies them before it calls again.
    held: list[bytes] = []

    def answer(_: object, command: object, length: int, text: object, text_len: object) -> int:
        try:
            reply = answerer(ctypes.string_at(command, length).decode("latin-1"))
        except Exception:  # a fault in the program's answers must not stop the simulator's thread
            logging.getLogger("kivocom").exception("the answer function of a simulated instrument failed")
            return 0
        if reply is None:
            return 0
        data = text_in(reply)[0] or b""
        held[:] = [data]
        text[0] = data
        text_len[0] = len(data)
        return 1

    return _AnswerFunction(answer)


class _Behaviour(ctypes.Structure):
    _fields_ = [("reply_delay_us", c_int64), ("paced", c_int), ("piece_size", c_size_t), ("piece_gap_ms", c_int32),
                ("silent", c_int), ("unplug_after", c_int64), ("echo", c_int)]


@dataclass
class Behaviour:
    """How an instrument's answers travel: delay, pacing at the line's rate, pieces, silence,
    unplugging and echo."""

    reply_delay_us: int = -1  # negative: the default (10 ms, or two character times if longer)
    paced: bool = True
    piece_size: int = 0
    piece_gap_ms: int = 0
    silent: bool = False
    unplug_after: int = -1
    echo: bool = False


class Instrument:
    """One simulated instrument; change its answers at any time."""

    def __init__(self, simulator: "Simulator", ident: int) -> None:
        self._sim = simulator
        self.id = ident

    def reply(self, command: TextArg, answer: TextArg) -> "Instrument":
        """Answers `command` with `answer` (without the line end; any bytes)."""
        check(self._sim._lib.kvc_sim_set_reply(self._sim._handle, self.id, *text_in(command), *text_in(answer)))
        return self

    def stored_reply(self, command: TextArg) -> Optional[str]:
        """The answer to `command` now (omega set frames store values here), or None."""
        pointer, length, found = c_char_ptr(), c_size_t(), c_int()
        check(self._sim._lib.kvc_sim_get_reply(self._sim._handle, self.id, *text_in(command), ctypes.byref(pointer),
                                               ctypes.byref(length), ctypes.byref(found)))
        return take_bytes(pointer, length.value).decode("latin-1") if found.value else None

    def answer_with(self, answerer: Optional[Answerer]) -> "Instrument":
        """Answers every command through `answerer(command)` first: the answer text (without the
        line end), or None to use the reply table. It runs on the simulator's thread and must not
        call the simulator; None removes it. For kivo, azonix and xsys instruments."""
        function = _answer_function(answerer) if answerer is not None else None
        check(self._sim._lib.kvc_sim_set_answer_function(self._sim._handle, self.id,
                                                         ctypes.cast(function, ctypes.c_void_p) if function else None,
                                                         None))
        self._sim._answerers[self.id] = function
        return self

    def default_reply(self, answer: TextArg) -> "Instrument":
        """The answer to commands without one of their own; None leaves them unanswered."""
        check(self._sim._lib.kvc_sim_set_default_reply(self._sim._handle, self.id, *text_in(answer)))
        return self

    def acknowledgement(self, answer: TextArg) -> "Instrument":
        """Omega style: the answer to a good set frame (ACK by default); None answers nothing."""
        check(self._sim._lib.kvc_sim_set_acknowledgement(self._sim._handle, self.id, *text_in(answer)))
        return self

    def line_end(self, end: TextArg) -> "Instrument":
        """What ends every answer; None: the style's own."""
        check(self._sim._lib.kvc_sim_set_line_end(self._sim._handle, self.id, *text_in(end)))
        return self

    def behaviour(self, behaviour: Behaviour) -> "Instrument":
        """Sets how the answers travel."""
        b = behaviour
        check(self._sim._lib.kvc_sim_set_behaviour(self._sim._handle, self.id, ctypes.byref(_Behaviour(
            in_range(b.reply_delay_us, c_int64), int(b.paced), in_range(b.piece_size, c_size_t),
            in_range(b.piece_gap_ms, c_int32), int(b.silent), in_range(b.unplug_after, c_int64), int(b.echo)))))
        return self

    def readings(self, command: TextArg, count: int, *, binary: bool = False, per_piece: int = 0,
                 gap_ms: int = 800) -> "Instrument":
        """Stores `count` readings, streamed when `command` arrives: text lines such as
        "+0020.25", or binary records after a 4-digit count; `per_piece` readings at a time."""
        check(self._sim._lib.kvc_sim_set_download(self._sim._handle, self.id, *text_in(command),
                                                  in_range(count, c_int32), int(binary),
                                                  in_range(per_piece, c_int32), in_range(gap_ms, c_int32)))
        return self


class Simulator:
    """A pseudo-terminal whose far end plays instruments, in a thread of its own; a context
    manager that stops it. Its device is mapped to port number `port` for this process."""

    def __init__(self, baud: int = 9600) -> None:
        self._lib = simulator_library()
        handle = ctypes.c_void_p()
        check(self._lib.kvc_sim_new(ctypes.byref(handle)))
        self._handle = handle
        self._answerers: dict[int, object] = {}  # the answer functions the simulator holds, kept alive
        self.device: str = text_out(lambda p, n: self._lib.kvc_sim_device_path(self._handle, p, n)).decode()
        self.port: int = map_device(self.device)
        self.baud = baud

    def close(self) -> None:
        """Stops the simulator and removes its port mapping."""
        if self._handle:
            unmap_device(self.port, self.device)
            self._lib.kvc_sim_free(self._handle)
            self._handle = None

    def __enter__(self) -> "Simulator":
        return self

    def __exit__(self, *_: object) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_handle", None):
            self.close()

    @property
    def baud(self) -> int:
        """The line's rate in bits per second, for pacing and the default reply delay."""
        value = c_int32()
        check(self._lib.kvc_sim_get_baud_rate(self._handle, ctypes.byref(value)))
        return value.value

    @baud.setter
    def baud(self, bits_per_second: int) -> None:
        check(self._lib.kvc_sim_set_baud_rate(self._handle, in_range(bits_per_second, c_int32)))

    def add_instrument(self, style: str | int = "kivo", address: str = "", switch_port: str = "",
                       replies: Optional[dict[str, str | bytes]] = None) -> Instrument:
        """Adds an instrument of `style` (omega ones with an `address` such as "01"), on
        `switch_port` behind the smart switch or directly on the line; it answers "+0023.45" to
        any command not in `replies`."""
        ident = c_size_t()
        check(self._lib.kvc_sim_add_instrument(self._handle, controller_style(style), *text_in(address),
                                               *text_in(switch_port), ctypes.byref(ident)))
        instrument = Instrument(self, ident.value)
        for command, answer in (replies or {}).items():
            instrument.reply(command, answer)
        return instrument

    def use_smart_switch(self, model: str | int = "bb8") -> None:
        """Puts a smart switch of `model` ("bb4", "bb8", "bt528") in front of the instruments."""
        check(self._lib.kvc_sim_use_smart_switch(self._handle, switch_model(model)))

    def remove_smart_switch(self) -> None:
        """Takes the smart switch away."""
        check(self._lib.kvc_sim_remove_smart_switch(self._handle))

    @property
    def connected_switch_port(self) -> str:
        """The switch port connected now; empty when none is or there is no switch."""
        return text_out(lambda p, n: self._lib.kvc_sim_connected_switch_port(self._handle, p, n)).decode("latin-1")

    @property
    def received(self) -> bytes:
        """Every byte received from the library since the start or the last clear_received()."""
        return text_out(lambda p, n: self._lib.kvc_sim_received(self._handle, p, n))

    def clear_received(self) -> None:
        """Forgets the bytes received so far."""
        check(self._lib.kvc_sim_clear_received(self._handle))

    def wait_for_received(self, sequence: TextArg, timeout_ms: int = 1000) -> bool:
        """Waits until `sequence` has been received; False when `timeout_ms` passed first."""
        arrived = c_int()
        check(self._lib.kvc_sim_wait_for_received(self._handle, *text_in(sequence), in_range(timeout_ms, c_int32),
                                                  ctypes.byref(arrived)))
        return arrived.value != 0

    def unplug(self) -> None:
        """Closes the far end now, as when the adapter is pulled out."""
        check(self._lib.kvc_sim_unplug(self._handle))
