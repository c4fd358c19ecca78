# SPDX-License-Identifier: MIT
"""One open serial resource: PyVISA's byte model over a kivocom port object.

A PyVISA program sees exactly the bytes it wrote: the session opens the port object's line once
(routing the smart switch when the name asks for one) and then sends bytes as given, never the
lone CR, the clearings or the framing of kivocom's own exchanges. Only a name with ``style``
frames each message for the controller, as kivocom's WritePort does, and ends it with CR.
Reads collect bytes until the termination character, the count or the time-out; bytes that
arrive after the end of one read stay for the next."""
from __future__ import annotations

import time
from typing import Any, Callable, Optional

from pyvisa import constants
from pyvisa.constants import ResourceAttribute as A, SerialTermination, StatusCode

import kivocom
from kivocom import EBaudRate

from .line_thread import LineThread, LineThreadStopped
from .resource_names import SerialResource

_WAIT_SLICE_MS = 200  # an endless read looks this often whether its session is closing
_LINE_LOST = 8020
_NO_DEVICE = 2  # is_com_port_available: no device behind the number


class VisaFailure(Exception):
    """A VISA status for the library to raise as VisaIOError; the cause keeps kivocom's error."""

    def __init__(self, status: StatusCode) -> None:
        super().__init__(status)
        self.status = status


class SerialSession:
    """The state and operations of one open ASRL INSTR resource."""

    def __init__(self, resource: SerialResource) -> None:
        self.resource = resource
        self.timeout_ms = 2000
        self.termchar = 0x0A
        self.termchar_enabled = False
        self.end_in = SerialTermination.termination_char
        self.end_out = SerialTermination.none
        self.send_end = True
        self.retries = int(resource.options.get("retries", "1"))
        self._framed = "style" in resource.options
        self._pending = bytearray()
        self._last_written = b""
        self._closing = False
        self._connection: Optional[kivocom.Connection] = None
        self._thread = LineThread(resource.name)
        try:
            self._thread.run(self._open)
        except BaseException:
            self._thread.stop(self._close)
            raise

    # ---- Opening and closing, on the line's thread ----

    def _open(self) -> None:
        options = self.resource.options
        try:
            self._connection = kivocom.open(self.resource.port, 9600, options.get("style", "kivo"),
                                            options.get("address", ""), switch=options.get("switch"),
                                            switch_port=options.get("switch_port", ""), keep_open=True)
            self._port.OpenPort(self._connection.switch_port)
        except ValueError as error:
            raise VisaFailure(StatusCode.error_invalid_resource_name) from error
        except kivocom.Error as error:
            raise VisaFailure(self._open_status()) from error

    def _open_status(self) -> StatusCode:
        # A present device that does not open is held: by another program, or by another
        # resource of this one (the probe does not count this process's own locks). A network
        # port that does not open is taken as absent.
        port = self.resource.port
        if self._connection is None or isinstance(port, str) and "://" in port:
            return StatusCode.error_resource_not_found
        state = kivocom.is_com_port_available(self._connection.port_object.port)
        return StatusCode.error_resource_not_found if state == _NO_DEVICE else StatusCode.error_resource_busy

    def _close(self) -> None:
        if self._connection is not None:
            self._connection.close()
            self._connection = None

    def close(self) -> None:
        """Closes the line and ends the session's thread."""
        self._closing = True
        self._thread.stop(self._close)

    @property
    def _port(self) -> kivocom.CCOMPort:
        return self._connection.port_object

    # ---- Writing and reading ----

    def write(self, data: bytes) -> int:
        """Sends `data` (with the termination character when END_OUT asks for it); returns the
        count of the caller's bytes."""
        out = bytes(data)
        if self.end_out == SerialTermination.termination_char:
            out += bytes([self.termchar])
        if self._framed:
            text = out.decode("latin-1").rstrip("\r\n")
            out = (self._port.FrameCommand(text, self.resource.options.get("address", "")) + "\r").encode("latin-1")
        self._on_line(lambda: self._port.LineOutput(out))
        self._last_written = out  # sent again by a read's retries
        return len(data)

    def read(self, count: int) -> tuple[bytes, StatusCode]:
        """Up to `count` bytes: to the termination character (END_IN), else `count` bytes; a
        time-out on the last of `retries` attempts raises VI_ERROR_TMO, each earlier one sends
        the last message again."""
        for attempt in range(self.retries):
            found = self._on_line(lambda: self._collect(count))
            if found is not None:
                return found
            if self._closing:
                raise VisaFailure(StatusCode.error_abort)  # closed from another thread
            if attempt + 1 < self.retries and self._last_written:
                self._on_line(lambda: self._port.LineOutput(self._last_written))
        self._on_line(self._pending.clear)
        raise VisaFailure(StatusCode.error_timeout)

    def _collect(self, count: int) -> Optional[tuple[bytes, StatusCode]]:
        # Waits in slices, so that a closing from another thread ends an endless or long read;
        # the line is looked at at least once, so an immediate time-out still takes what waits.
        endless = self.timeout_ms == constants.VI_TMO_INFINITE
        deadline = time.monotonic() + self.timeout_ms / 1000
        looked = False
        while True:
            found = self._take(count)
            if found is not None:
                return found
            left_ms = _WAIT_SLICE_MS if endless else int((deadline - time.monotonic()) * 1000)
            if self._closing or left_ms <= 0 and looked:
                return None
            self._pending += self._port.LineInput(max(0, min(left_ms, _WAIT_SLICE_MS))).encode("latin-1")
            looked = True

    def _take(self, count: int) -> Optional[tuple[bytes, StatusCode]]:
        if self.end_in == SerialTermination.termination_char:
            end = self._pending.find(self.termchar, 0, count)
            if end >= 0:
                return self._split(end + 1, StatusCode.success_termination_character_read)
        if len(self._pending) >= count:
            return self._split(count, StatusCode.success_max_count_read)
        return None

    def _split(self, size: int, status: StatusCode) -> tuple[bytes, StatusCode]:
        data = bytes(self._pending[:size])
        del self._pending[:size]
        return data, status

    def clear(self) -> None:
        """Discards every byte received and not yet read, and every byte not yet sent."""
        def clear() -> None:
            self._pending.clear()
            self._port.ClearBuffers()

        self._on_line(clear)

    def bytes_available(self) -> int:
        """Bytes received and not yet read."""
        def count() -> int:
            self._pending += self._port.LineInput(0).encode("latin-1")
            return len(self._pending)

        return self._on_line(count)

    # ---- Line settings ----

    @property
    def baud_rate(self) -> int:
        """The line's rate in bits per second."""
        return int(self._port.BaudRate.name.removeprefix("BAUD_"))

    def set_baud_rate(self, rate: int) -> None:
        """Sets the rate and opens the line again with it; a rate kivocom does not offer is
        refused."""
        try:
            member = EBaudRate.from_bits_per_second(int(rate))
        except ValueError as error:
            raise VisaFailure(StatusCode.error_nonsupported_attribute_state) from error

        def reopen() -> None:
            self._port.BaudRate = member
            self._port.OpenPort(self._connection.switch_port)

        self._on_line(reopen)

    def line_setting(self, attribute: A) -> int:
        """Data bits, parity (VISA's numbers) or stop bits (10, 15, 20) of the controller style."""
        port = self._port
        if attribute == A.asrl_data_bits:
            return int(port.DataBits) + 4
        if attribute == A.asrl_parity:
            return {0: constants.Parity.none, 1: constants.Parity.even, 2: constants.Parity.odd,
                    3: constants.Parity.mark, 4: constants.Parity.space}[int(port.Parity)]
        return {0: constants.StopBits.one, 1: constants.StopBits.one_and_a_half,
                2: constants.StopBits.two}[int(port.StopBits)]

    # ---- Errors of the line ----

    def _on_line(self, call: Callable[[], Any]) -> Any:
        try:
            return self._thread.run(call)
        except LineThreadStopped as stopped:
            raise VisaFailure(StatusCode.error_invalid_object) from stopped
        except kivocom.Error as error:
            lost = error.number == _LINE_LOST or self._port_lost()
            raise VisaFailure(StatusCode.error_connection_lost if lost else StatusCode.error_io) from error

    def _port_lost(self) -> bool:
        return self._thread.run(lambda: self._port.LineError.number == _LINE_LOST)
