# SPDX-License-Identifier: MIT
"""Serial resource names as the kivocom backend reads them.

``ASRL<port>[?option=value&...][::INSTR]``, or the alias ``COM<n>``. The port is a COM number
(``ASRL3``), a device path (``ASRL/dev/ttyUSB0``) or a network port (``ASRLrfc2217://host:port``,
``ASRLtcp://host:port``). The options reach what kivocom adds to a serial line: ``style`` and
``address`` (controller framing), ``switch`` and ``switch_port`` (a smart switch route) and
``retries`` (transmissions of a query in all)."""
from __future__ import annotations

import re
from dataclasses import dataclass, field
from typing import Union
from urllib.parse import parse_qsl

OPTIONS = ("style", "address", "switch", "switch_port", "retries")

_NAME = re.compile(r"(?i)^ASRL(?P<board>.+?)(?:::INSTR)?$")
_ALIAS = re.compile(r"(?i)^COM(?P<number>\d+)$")
_NUMBER = re.compile(r"^\d+$")


class ResourceNameError(ValueError):
    """A resource name the backend cannot read."""


@dataclass(frozen=True)
class SerialResource:
    """One serial resource: the port and the kivocom options."""

    port: Union[int, str]  # a COM number, or a device path or network address
    options: dict[str, str] = field(default_factory=dict)

    @property
    def name(self) -> str:
        """The canonical resource name, such as ``ASRL3::INSTR``."""
        query = "&".join(f"{key}={value}" for key, value in self.options.items())
        return f"ASRL{self.port}{'?' + query if query else ''}::INSTR"

    @property
    def alias(self) -> str:
        """The alias PyVISA shows for a numbered port without options (``COM3``), else empty."""
        return f"COM{self.port}" if isinstance(self.port, int) and not self.options else ""

    @property
    def board(self) -> Union[int, str]:
        """The interface board: the number, or the path for ports named by path."""
        return self.port


def parse(name: str) -> SerialResource:
    """Reads `name`; raises ResourceNameError for a name that is not a serial resource or that
    carries an unknown or repeated option."""
    alias = _ALIAS.match(name.strip())
    if alias:
        return SerialResource(_port_number(alias.group("number"), name))
    match = _NAME.match(name.strip())
    if not match:
        raise ResourceNameError(f"{name!r} is not a serial resource name (ASRL<port>::INSTR or COM<n>)")
    board, _, query = match.group("board").partition("?")
    if not board:
        raise ResourceNameError(f"{name!r} names no port")
    port: Union[int, str] = _port_number(board, name) if _NUMBER.match(board) else board
    return SerialResource(port, _options(query, name))


def _port_number(text: str, name: str) -> int:
    number = int(text)
    if not 1 <= number <= 256:
        raise ResourceNameError(f"{name!r}: COM numbers run from 1 to 256")
    return number


def _options(query: str, name: str) -> dict[str, str]:
    try:
        pairs = parse_qsl(query, keep_blank_values=True, strict_parsing=bool(query))
    except ValueError:
        raise ResourceNameError(f"{name!r}: options are written ?key=value&key=value") from None
    options: dict[str, str] = {}
    for key, value in pairs:
        if key not in OPTIONS:
            raise ResourceNameError(f"{name!r}: unknown option {key!r}; the options are {', '.join(OPTIONS)}")
        if key in options:
            raise ResourceNameError(f"{name!r}: option {key!r} given twice")
        options[key] = value
    if "retries" in options and not (options["retries"].isdigit() and 1 <= int(options["retries"]) <= 100):
        raise ResourceNameError(f"{name!r}: retries must be a number from 1 to 100")
    if "switch_port" in options and "switch" not in options:
        raise ResourceNameError(f"{name!r}: switch_port needs switch (bb4, bb8 or bt528)")
    return options
