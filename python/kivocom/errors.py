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


def last_error(status: int) -> Error:
    """The calling thread's last error of the C interface, for a call that returned `status`."""
    from ._native import lib

    number = lib.kvc_last_error_number() or status
    source = (lib.kvc_last_error_source(None) or b"").decode("latin-1")
    description = (lib.kvc_last_error_description(None) or b"").decode("latin-1")
    return Error(number, source, description)


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


def record(error: BaseException, source: str) -> None:
    """Makes `error` the thread's last error of the C interface (for Python callbacks that fail)."""
    from ._native import lib

    text = str(error).encode("latin-1", "replace")
    source_bytes = source.encode("latin-1", "replace")
    lib.kvc_set_last_error(51, source_bytes, len(source_bytes), text, len(text))


__all__ = ["Error", "Timeout", "InvalidData", "Aborted", "exchange_error"]
