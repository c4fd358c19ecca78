# SPDX-License-Identifier: MIT
"""The Pythonic layer: `kivocom.open()` gives a connection to one instrument that queries, sends
and downloads, raising exceptions for time-outs, invalid data and cancels."""
from __future__ import annotations

import logging
import math
import os
import re
import tempfile
import time
from contextlib import contextmanager
from pathlib import Path
from typing import Any, Callable, Iterator, Optional, Union

from . import _line_thread, system
from ._native import TextArg
from .enums import EBaudRate, ECOMError, EControllerStyle
from .errors import Aborted, Error, InvalidData, PortError, Timeout, exchange_error
from .ini import KivoINIFile
from .port import CCOMPort
from .progress import Progress, window_for
from .simulator import controller_style, switch_model
from .switch import CSmartSwitch

_log = logging.getLogger("kivocom")
_ACK, _NAK = "\x06", "\x15"
_ANSWER_END_MS = 50  # silence after an acknowledgement that ends waiting for its line end
_COM_NAME = re.compile(r"(?i)^com(\d+)$")
_ERR_INVALID_PORT_NUMBER = 8002
_ERR_PORT_NOT_OPEN = 8018

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


def _port_and_device(port: "PortName") -> tuple[int, str, bool]:
    """The port number for `port`, the device it names and whether a device path was mapped to it."""
    if isinstance(port, bool) or not isinstance(port, (int, str, os.PathLike)):
        raise TypeError(f"a port is a number, a name such as 'COM3' or a device path, not {type(port).__name__}")
    if isinstance(port, int):
        number = port
    else:
        name = os.fsdecode(os.fspath(port))
        if not name:
            raise ValueError("an empty device path names no device")
        match = _COM_NAME.match(name)
        if not match:
            return system.map_device(name), name, True
        number = int(match.group(1))
    if number < 1:
        raise ValueError(f"port numbers start at 1, not {number}")
    return number, system.port_device_path(number), False


def _require_text(value: object, what: str) -> None:
    if not isinstance(value, (str, bytes, bytearray, memoryview)):
        raise TypeError(f"{what} must be str or bytes, not {type(value).__name__}")


def _milliseconds(timeout: float) -> int:
    if isinstance(timeout, bool) or not isinstance(timeout, (int, float)):
        raise TypeError(f"timeout is a number of seconds, not {type(timeout).__name__}")
    if not timeout > 0:
        raise ValueError(f"timeout must be above 0 seconds, not {timeout}")
    return math.ceil(timeout * 1000)


def _recorded_device(entry: Path) -> str:
    """The device a ports-folder entry "com<n>" names: a link's target or the file's first line."""
    if entry.is_symlink():
        return os.readlink(entry)
    lines = entry.read_text(encoding="utf-8", errors="replace").splitlines()
    return lines[0].strip(" \t\r") if lines else ""


class Connection:
    """One instrument on a serial port, set up by `kivocom.open()`; a context manager that closes
    the line. Replies are str with one character per byte (Latin-1), as they came.

    Any thread may use a connection: its calls take turns on the line, and each reply goes to the
    thread that asked. The library's port object lives on a thread of the device's own
    (`port_object` reaches it from any thread)."""

    def __init__(self, port: PortName, baud: int = 9600, style: Union[str, int] = "kivo", address: str = "", *,
                 timeout: float = 3.0, retries: int = 5, switch: Optional[Union[str, int]] = None,
                 switch_port: str = "", check_non_ascii: bool = True, strip: bool = True,
                 keep_open: bool = False) -> None:
        _require_text(address, "address")
        _require_text(switch_port, "switch_port")
        milliseconds = _milliseconds(timeout)
        self.address = address
        self.switch_port = switch_port
        self._closed = True
        self._number, self._device, mapped = _port_and_device(port)
        self._mapped = self._number if mapped else None
        self._line = _line_thread.attach(self._device)
        try:
            self._port: CCOMPort = self._line.run(_make_port, self._number, baud, style, milliseconds, retries,
                                                  switch, check_non_ascii, strip, keep_open)
        except BaseException:
            if self._mapped is not None:
                system.unmap_device(self._mapped, self._device)
            self._release()
            raise
        self._closed = False
        self.port_object = _OnLine(self._port, self._line)

    def query(self, command: TextArg, *, switch_port: Optional[str] = None) -> str:
        """Sends `command` and returns the reply. Raises kivocom.Timeout when no complete reply
        came within the time-out on every attempt, kivocom.InvalidData for characters above 128,
        kivocom.PortError when the port has no device or its line was lost."""
        _require_text(command, "command")
        return self._call("query", self._query, command, self._route(switch_port))

    def send(self, command: TextArg, value: Optional[str] = None, *, switch_port: Optional[str] = None) -> None:
        """Sends `command` without reading a reply. With `value` (omega style) it sends a set frame
        and waits for the instrument's answer: kivocom.Timeout when none comes within the
        time-out, kivocom.InvalidData when it refuses the value (NAK). A line that cannot be opened
        raises kivocom.Error."""
        _require_text(command, "command")
        if value is not None:
            _require_text(value, "value")
        self._call("send", self._send, command, value, self._route(switch_port))

    def download(self, command: TextArg, readings: int = 1, *, binary: bool = False, progress: Progress = None,
                 switch_port: Optional[str] = None) -> Union[str, bytes]:
        """Sends `command` and returns everything the instrument streams until the line stays
        silent for the time-out: str for text readings, bytes when `binary`. `readings` is the
        count expected, for progress; `progress` is a function (done, total, received) that may
        return False to cancel, or True for a bar (tqdm when installed). A cancel, Ctrl-C or a
        lost line raises kivocom.Aborted, whose `data` holds what arrived; silence from the start
        raises kivocom.Timeout."""
        _require_text(command, "command")
        interrupted: list[bool] = []

        def cancel() -> None:
            interrupted.append(True)
            system.request_download_cancel()

        try:
            result = self._call("download", self._download, command, readings, binary,
                                window_for(progress, readings), self._route(switch_port), on_interrupt=cancel)
        except Aborted as cancelled:
            if not interrupted:
                raise
            result = cancelled.data
        if interrupted:
            raise Aborted(ECOMError.CE_ABORTED, "CCOMPort - Download",
                          "The download was interrupted (Ctrl-C); data holds what arrived.", result) \
                from KeyboardInterrupt()
        return result

    def close(self) -> None:
        """Closes the line (it is opened again by the next exchange of another connection) and
        ends a device mapping; later calls raise kivocom.PortError. Closing twice does nothing."""
        if self._closed:
            return
        self._closed = True
        if self._line.busy_with_abandoned_call():
            self._line.post(self._end)  # the abandoned call finishes first; nobody waits for it
        else:
            self._line.run(self._end)
        self._release()

    def __enter__(self) -> "Connection":
        return self

    def __exit__(self, *_: object) -> None:
        self.close()

    def save(self, path: Union[str, os.PathLike], section: str = "COMPort") -> None:
        """Saves the port's settings in section `section` of settings file `path`. For a device
        opened by path, the port number is recorded for that device in the ports folder, so that
        the file opens the same device again in any program (as `kivocom settings save --device`
        does)."""
        _require_text(section, "section")
        self._call("save", self._save, os.fspath(path), section)

    # ---- On the line's thread ----

    def _call(self, what: str, function: Callable[..., Any], *args: Any,
              on_interrupt: Optional[Callable[[], None]] = None) -> Any:
        if self._closed:
            raise PortError(_ERR_PORT_NOT_OPEN, f"Connection - {what}",
                            "The connection is closed; open the instrument again with kivocom.open().")
        return self._line.run(function, *args, on_interrupt=on_interrupt)

    def _route(self, switch_port: Optional[str]) -> str:
        if switch_port is None:
            return self.switch_port
        _require_text(switch_port, "switch_port")
        return switch_port

    def _query(self, command: TextArg, switch_port: str) -> str:
        self._check_device("CCOMPort - ReadPort")
        reply = self._port._read(command, switch_port, self.address)
        self._settle(self._port._code.value, "CCOMPort - ReadPort")
        return reply.decode("latin-1")

    def _send(self, command: TextArg, value: Optional[str], switch_port: str) -> None:
        self._check_device("CCOMPort - WritePort")
        p = self._port
        set_frame = value is not None and p.ControllerStyle == EControllerStyle.CS_OMEGA
        auto_close = p.AutoClose
        p.AutoClose = auto_close and not set_frame
        try:
            code = p.WritePort(command, switch_port, self.address, value or "")
            answer = self._await_set_answer() if set_frame and code == ECOMError.CE_NONE else ""
        finally:
            p.AutoClose = auto_close
            if auto_close and set_frame:
                p.ClosePort()
        self._settle(code, "CCOMPort - WritePort")
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
        port = self._port
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

    def _download(self, command: TextArg, readings: int, binary: bool, window: Any,
                  switch_port: str) -> Union[str, bytes]:
        self._check_device("CCOMPort - Download")
        previous = system.progress_window()
        system.set_progress_window(window)
        try:
            with _boxes_to_log():
                data = self._port._download(binary, command, switch_port, self.address, readings)
        finally:
            system.set_progress_window(previous)
        result: Union[str, bytes] = data if binary else data.decode("latin-1")
        self._settle(self._port._code.value, "CCOMPort - Download", result)
        return result

    def _check_device(self, source: str) -> None:
        """A device path with nothing behind it (never there, or unplugged) is reported at once,
        instead of after every attempt's time-out; network ports and Windows device names are
        left to the exchange."""
        if "://" in self._device or self._device.startswith("\\\\.\\") or os.path.exists(self._device):
            return
        raise PortError(_ERR_INVALID_PORT_NUMBER, source,
                        f"COM{self._number} is {self._device}, which has no device behind it.")

    def _settle(self, code: int, source: str, data: Union[str, bytes] = b"") -> None:
        """Raises for an exchange that ended with `code`: the lost line or failed reopening the
        library recorded, else the exchange's own outcome."""
        if not code:
            return
        loss = self._port.LineError
        if loss.number and code != ECOMError.CE_ABORTED:
            raise PortError(loss.number, loss.source, loss.description)
        if loss.number:
            raise Aborted(code, source, f"The line was lost: {loss.description}", data)
        raise exchange_error(code, source, data)

    def _save(self, path: str, section: str) -> None:
        if self._mapped is not None:
            self._record_device()
        with _boxes_to_log():
            self._port.WriteToFile(KivoINIFile(path), "", section)

    def _record_device(self) -> None:
        """Makes the connection's number name its device in the ports folder, as the tool's
        `settings save --device` does, unless the environment or the folder names it already."""
        number = self._mapped
        lasting = os.environ.get(f"KIVOCOM_COM{number}")
        entry = Path(system.ports_folder()) / f"com{number}"
        if lasting is None and (entry.exists() or entry.is_symlink()):
            lasting = _recorded_device(entry)
        if lasting == self._device:
            return
        if lasting is not None:
            raise Error(_ERR_INVALID_PORT_NUMBER, "Connection - save",
                        f"COM{number} already names {lasting}; the settings would not open {self._device}.")
        entry.parent.mkdir(parents=True, exist_ok=True)
        entry.write_text(self._device + "\n", encoding="utf-8")
        _log.info("COM%d now names %s (recorded in %s).", number, self._device, entry)

    def _end(self) -> None:
        try:
            self._port.ClosePort()
        finally:
            self._port.free()
            if self._mapped is not None:
                system.unmap_device(self._mapped, self._device)

    def _release(self) -> None:
        _line_thread.detach(self._line)


class _OnLine:
    """A connection's CCOMPort as any thread sees it: every member is reached on the line's thread."""

    def __init__(self, port: CCOMPort, line: "_line_thread.LineThread") -> None:
        object.__setattr__(self, "_port", port)
        object.__setattr__(self, "_line", line)

    def __getattr__(self, name: str) -> Any:
        value = self._line.run(getattr, self._port, name)
        if callable(value):
            return lambda *args, **kwargs: self._line.run(value, *args, **kwargs)
        return value

    def __setattr__(self, name: str, value: Any) -> None:
        self._line.run(setattr, self._port, name, value)


def _make_port(number: int, baud: int, style: Union[str, int], timeout_ms: int, retries: int,
               switch: Optional[Union[str, int]], check_non_ascii: bool, strip: bool, keep_open: bool) -> CCOMPort:
    """A port object set up for one instrument, made on the line's thread."""
    p = CCOMPort()
    p.port = number
    p.MinBaudRate = EBaudRate.BAUD_150
    p.MaxBaudRate = EBaudRate.BAUD_921600
    p.BaudRate = EBaudRate.from_bits_per_second(int(baud))
    p.ControllerStyle = controller_style(style)
    p.TimeOut = timeout_ms
    p.Retries = retries
    p.CheckNonAscii = check_non_ascii
    p.StripCRLF = strip
    p.AutoClose = not keep_open
    if switch is not None:
        p.UsesSmartSwitch = True
        _set_switch_model(p, switch_model(switch))
    return p


def open(port: PortName, baud: int = 9600, style: Union[str, int] = "kivo", address: str = "",
         **options) -> Connection:
    """A connection to the instrument on `port` ("COM3", 3, or a device such as "/dev/ttyUSB0" or
    "rfc2217://host:port") at `baud` bits per second, speaking `style` ("kivo", "omega",
    "azonix", "xsys") with `address` (omega style). Options: timeout (seconds per attempt,
    default 3.0), retries (transmissions in all, default 5), switch ("bb4", "bb8", "bt528") and
    switch_port, check_non_ascii, strip (line ends to blanks), keep_open (the line stays open
    between exchanges). Use it in a with statement."""
    return Connection(port, baud, style, address, **options)


