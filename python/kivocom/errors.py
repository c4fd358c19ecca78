# SPDX-License-Identifier: MIT
"""The exceptions of kivocom: one base carrying the library's number, source and description."""
from __future__ import annotations

from .enums import ECOMError


class Error(Exception):
    """An error of the library: its number (such as 0x80040036 as a signed 32-bit value, or a
    serial-control number such as 8002), its source ("CCOMPort - Let BaudRate") and its
    description, as the C++ interface's kivocom::Error carries them."""

    def __init__(self, number: int, source: str, description: str) -> None:
        super().__init__(f"{description} ({source}, error {number})")
        self.number = number
        self.source = source
        self.description = description


class PortError(Error):
    """The port cannot be used: no device behind it, the line was lost (unplugged), or the
    connection is closed. `number` is the library's (8002 no device, 8020 a lost line, 8018
    closed) and the description says why."""


class Timeout(Error, TimeoutError):
    """No complete reply within the port's time-out, on the last attempt (CE_TIMEOUT)."""


class InvalidData(Error):
    """The reply holds a character above 128 while the non-ASCII check is on (CE_INVALID_DATA)."""


class Aborted(Error):
    """No port was chosen, the download was cancelled or the line was lost (CE_ABORTED).
    `data` holds what a download received before it ended."""

    def __init__(self, number: int, source: str, description: str, data: bytes | str = b"") -> None:
        super().__init__(number, source, description)
        self.data = data


_EXCHANGE_ERRORS: dict[int, tuple[type[Error], str]] = {
    ECOMError.CE_TIMEOUT: (Timeout, "No complete reply within the time-out."),
    ECOMError.CE_INVALID_DATA: (InvalidData, "The reply holds characters above 128."),
    ECOMError.CE_ABORTED: (Aborted, "No port chosen, the download was cancelled or the line was lost."),
}


def exchange_error(code: int, source: str, data: bytes | str = b"") -> Error:
    """The exception for an exchange that ended with ECOMError `code` (not CE_NONE); its number is
    the code itself (1 time-out, 2 invalid data, 3 aborted)."""
    kind, description = _EXCHANGE_ERRORS[code]
    if kind is Aborted:
        return Aborted(code, source, description, data)
    return kind(code, source, description)


__all__ = ["Error", "PortError", "Timeout", "InvalidData", "Aborted", "exchange_error"]
