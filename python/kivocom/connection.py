# SPDX-License-Identifier: MIT
"""The Pythonic layer: `kivocom.open()` gives a connection to one instrument that queries, sends
and downloads, raising exceptions for time-outs, invalid data and cancels."""
from __future__ import annotations

import itertools
import logging
import os
import re
import tempfile
import threading
import time
from contextlib import contextmanager
from typing import Iterator, Optional, Union

from .enums import EBaudRate, ECOMError, EControllerStyle
from .errors import InvalidData, Timeout, exchange_error
from .ini import KivoINIFile
from .port import CCOMPort
from .progress import Progress, window_for
from .simulator import controller_style, switch_model
from .switch import CSmartSwitch
from . import system

_log = logging.getLogger("kivocom")
_device_numbers = itertools.count(256, -1)  # numbers devices named by path are mapped to
_device_lock = threading.Lock()
_ACK, _NAK = "\x06", "\x15"
_ANSWER_END_MS = 50  # silence after an acknowledgement that ends waiting for its line end
_COM_NAME = re.compile(r"(?i)^com(\d+)$")

PortName = Union[int, str, os.PathLike]


def _log_box(prompt: str, flags: int, title: str, help_file: str, help_context: int) -> None:
    _log.info("%s: %s", title, prompt.replace("\r", " "))


@contextmanager
def _boxes_to_log() -> Iterator[None]:
    """Sends the library's message boxes to the "kivocom" logger for the length of a call."""
    previous = system.message_box_handler()
    system.set_message_box_handler(_log_box)
    try:
        yield
    finally:
        system.set_message_box_handler(previous)


def _set_switch_model(port: CCOMPort, model: int) -> None:
    # A port's own switch takes its model only from settings, so the model goes through a
    # scratch settings file that the port reads back with everything else it already holds.
    with tempfile.TemporaryDirectory(prefix="kivocom-") as folder, _boxes_to_log():
        path = os.path.join(folder, "port.ini")
        port.WriteToFile(None, path, "Port")
        sw = CSmartSwitch()
        sw.Style = model
        sw.WriteToFile(None, path, "Port - SmartSwitch")
        debugging = port.Debugging
        port.ReadFromFile(None, path, "Port")
        port.Debugging = debugging


class Connection:
    """One instrument on a serial port, set up by `kivocom.open()`; a context manager that closes
    the line. Replies are str with one character per byte (Latin-1), as they came."""

    def __init__(self, port: PortName, baud: int = 9600, style: Union[str, int] = "kivo", address: str = "", *,
                 timeout: float = 3.0, retries: int = 5, switch: Optional[Union[str, int]] = None,
                 switch_port: str = "", check_non_ascii: bool = True, strip: bool = True,
                 keep_open: bool = False) -> None:
        self.port_object = CCOMPort()
        self.address = address
        self.switch_port = switch_port
        self._mapped: Optional[int] = None
        p = self.port_object
        p.port = self._port_number(port)
        try:
            self._configure(baud, style, timeout, retries, switch, check_non_ascii, strip, keep_open)
        except BaseException:
            self.close()
            raise

    def _configure(self, baud: int, style: Union[str, int], timeout: float, retries: int,
                   switch: Optional[Union[str, int]], check_non_ascii: bool, strip: bool, keep_open: bool) -> None:
        p = self.port_object
        p.MinBaudRate = EBaudRate.BAUD_150
        p.MaxBaudRate = EBaudRate.BAUD_921600
        p.BaudRate = EBaudRate.from_bits_per_second(int(baud))
        p.ControllerStyle = controller_style(style)
        p.TimeOut = max(1, round(timeout * 1000))
        p.Retries = retries
        p.CheckNonAscii = check_non_ascii
        p.StripCRLF = strip
        p.AutoClose = not keep_open
        if switch is not None:
            p.UsesSmartSwitch = True
            _set_switch_model(p, switch_model(switch))

    def _port_number(self, port: PortName) -> int:
        if isinstance(port, int):
            return port
        name = os.fspath(port)
        match = _COM_NAME.match(name)
        if match:
            return int(match.group(1))
        with _device_lock:
            number = next(_device_numbers)
        system.map_port(number, name)
        self._mapped = number
        return number

    def query(self, command: str, *, switch_port: Optional[str] = None) -> str:
        """Sends `command` and returns the reply. Raises kivocom.Timeout when no complete reply
        came within the time-out on every attempt, kivocom.InvalidData for characters above 128,
        kivocom.Aborted when no port is chosen."""
        reply = self.port_object._read(command, self.switch_port if switch_port is None else switch_port, self.address)
        code = self.port_object._code.value
        if code:
            raise exchange_error(code, "CCOMPort - ReadPort")
        return reply.decode("latin-1")

    def send(self, command: str, value: Optional[str] = None, *, switch_port: Optional[str] = None) -> None:
        """Sends `command` without reading a reply. With `value` (omega style) it sends a set frame
        and waits for the instrument's answer: kivocom.Timeout when none comes within the
        time-out, kivocom.InvalidData when it refuses the value (NAK). A line that cannot be opened
        raises kivocom.Error."""
        p = self.port_object
        set_frame = value is not None and p.ControllerStyle == EControllerStyle.CS_OMEGA
        auto_close = p.AutoClose
        p.AutoClose = auto_close and not set_frame
        try:
            code = p.WritePort(command, self.switch_port if switch_port is None else switch_port, self.address,
                               value or "")
            answer = self._await_set_answer() if set_frame and code == ECOMError.CE_NONE else ""
        finally:
            p.AutoClose = auto_close
            if auto_close and set_frame:
                p.ClosePort()
        if code != ECOMError.CE_NONE:
            raise exchange_error(code, "CCOMPort - WritePort")
        if set_frame and not answer:
            raise Timeout(ECOMError.CE_TIMEOUT, "CCOMPort - WritePort",
                          f"No acknowledgement of the set frame within {p.TimeOut} ms.")
        if answer == _NAK:
            raise InvalidData(ECOMError.CE_INVALID_DATA, "CCOMPort - WritePort",
                              "The instrument refused the value (NAK).")

    def _await_set_answer(self) -> str:
        # The acknowledgement arrives after WritePort's last clearing: the first ACK or NAK. Its
        # line end is read too (until a short silence), so that no part of it is taken as the
        # reply of the next exchange.
        port = self.port_object
        deadline = time.monotonic() + port.TimeOut / 1000
        heard = ""
        while not any(char in (_ACK, _NAK) for char in heard):
            left = int((deadline - time.monotonic()) * 1000)
            if left <= 0:
                return ""
            heard += port.LineInput(left)
        answer = next(char for char in heard if char in (_ACK, _NAK))
        while "\n" not in heard[heard.index(answer):]:
            more = port.LineInput(_ANSWER_END_MS)
            if not more:
                break
            heard += more
        return answer

    def download(self, command: str, readings: int = 1, *, binary: bool = False, progress: Progress = None,
                 switch_port: Optional[str] = None) -> Union[str, bytes]:
        """Sends `command` and returns everything the instrument streams until the line stays
        silent for the time-out: str for text readings, bytes when `binary`. `readings` is the
        count expected, for progress; `progress` is a function (done, total, received) that may
        return False to cancel, or True for a bar (tqdm when installed). A cancel or a lost line
        raises kivocom.Aborted, whose `data` holds what arrived; silence from the start raises
        kivocom.Timeout."""
        window = window_for(progress, readings)
        previous = system.progress_window()
        system.set_progress_window(window)
        try:
            with _boxes_to_log():
                data = self.port_object._download(binary, command,
                                                  self.switch_port if switch_port is None else switch_port,
                                                  self.address, readings)
        finally:
            system.set_progress_window(previous)
        result: Union[str, bytes] = data if binary else data.decode("latin-1")
        code = self.port_object._code.value
        if code:
            raise exchange_error(code, "CCOMPort - Download", result)
        return result

    def close(self) -> None:
        """Closes the line (it is opened again by the next exchange) and ends a device mapping."""
        self.port_object.ClosePort()
        if self._mapped is not None:
            system.map_port(self._mapped, "")
            self._mapped = None

    def __enter__(self) -> "Connection":
        return self

    def __exit__(self, *_: object) -> None:
        self.close()

    def save(self, path: Union[str, os.PathLike], section: str = "COMPort") -> None:
        """Saves the port's settings in section `section` of settings file `path`."""
        with _boxes_to_log():
            self.port_object.WriteToFile(KivoINIFile(path), "", section)


def open(port: PortName, baud: int = 9600, style: Union[str, int] = "kivo", address: str = "",
         **options) -> Connection:
    """A connection to the instrument on `port` ("COM3", 3, or a device such as "/dev/ttyUSB0" or
    "rfc2217://host:port") at `baud` bits per second, speaking `style` ("kivo", "omega",
    "azonix", "xsys") with `address` (omega style). Options: timeout (seconds per attempt,
    default 3.0), retries (transmissions in all, default 5), switch ("bb4", "bb8", "bt528") and
    switch_port, check_non_ascii, strip (line ends to blanks), keep_open (the line stays open
    between exchanges). Use it in a with statement."""
    return Connection(port, baud, style, address, **options)


