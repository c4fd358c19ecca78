# SPDX-License-Identifier: MIT
"""The library's enumerations, with the C++ interface's names and values."""
from __future__ import annotations

from enum import IntEnum


class ECOMPort(IntEnum):
    """A serial port number; any number from 1 may be used, not only these."""

    COM_NONE = -1
    COM_1 = 1
    COM_2 = 2
    COM_3 = 3
    COM_4 = 4
    COM_5 = 5
    COM_6 = 6
    COM_7 = 7
    COM_8 = 8
    COM_9 = 9


class EBaudRate(IntEnum):
    """A baud rate by index; `CCOMPort.BaudRateName` gives its text."""

    BAUD_NONE = -1
    BAUD_150 = 0
    BAUD_300 = 1
    BAUD_600 = 2
    BAUD_1200 = 3
    BAUD_2400 = 4
    BAUD_4800 = 5
    BAUD_9600 = 6
    BAUD_19200 = 7
    BAUD_38400 = 8
    BAUD_57600 = 9
    BAUD_115200 = 10
    BAUD_230400 = 11
    BAUD_460800 = 12
    BAUD_921600 = 13

    @classmethod
    def from_bits_per_second(cls, rate: int) -> "EBaudRate":
        """The member for a rate in bits per second, such as 9600; ValueError for others."""
        member = cls.__members__.get(f"BAUD_{rate}")
        if member is None:
            raise ValueError(f"{rate} baud is not a rate the library offers")
        return member


class EDataBits(IntEnum):
    """Data bits per character."""

    DATA_4BITS = 0
    DATA_5BITS = 1
    DATA_6BITS = 2
    DATA_7BITS = 3
    DATA_8BITS = 4


class EStopBits(IntEnum):
    """Stop bits per character."""

    STOP_1BIT = 0
    STOP_1_5BITS = 1
    STOP_2BITS = 2


class EParity(IntEnum):
    """Parity of each character."""

    PARITY_NONE = 0
    PARITY_EVEN = 1
    PARITY_ODD = 2
    PARITY_MARK = 3
    PARITY_SPACE = 4


class EControllerStyle(IntEnum):
    """The protocol family of the instrument: fixes the line settings and the command framing."""

    CS_KIVO = 0
    CS_OMEGA = 1
    CS_AZONIX = 2
    CS_XSYS = 3


class ECOMError(IntEnum):
    """The outcome of an exchange."""

    CE_NONE = 0
    CE_TIMEOUT = 1
    CE_INVALID_DATA = 2
    CE_ABORTED = 3


class ESmartSwitchStyle(IntEnum):
    """The model of a smart switch (RS-232 port multiplexer)."""

    SSS_BB4PORT = 0
    SSS_BB8PORT = 1
    SSS_BT528AP = 2
