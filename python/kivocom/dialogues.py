# SPDX-License-Identifier: MIT
"""What an instrument described by a definition file says: fixed dialogues, and properties read
by a getter and changed by a setter whose value is checked against its specs.

Message patterns are Python format strings, as in pyvisa-sim's files: "!FREQ {:.2f}" matches
"!FREQ 12.5" and takes 12.5 as the value; "{:.2f}" formats the getter's answer."""
from __future__ import annotations

import re
import string
from dataclasses import dataclass, field
from typing import Any, Callable, Optional

_FLOAT = r"[-+]?(?:\d+(?:\.\d*)?|\.\d+)(?:[eE][-+]?\d+)?|[-+]?(?:inf|nan)"
_PATTERNS: dict[str, tuple[str, Callable[[str], Any]]] = {
    "d": (r"[-+]?\d+", int), "n": (r"[-+]?\d+", int),
    "f": (_FLOAT, float), "F": (_FLOAT, float), "e": (_FLOAT, float), "E": (_FLOAT, float),
    "g": (_FLOAT, float), "G": (_FLOAT, float), "%": (_FLOAT, float),
    "s": (r".*?", str), "": (r".*?", str),
}
_TYPES: dict[str, Callable[[Any], Any]] = {"float": float, "int": int, "str": str}


class DefinitionError(ValueError):
    """A definition file that cannot be served, with what is wrong and where."""


class MessagePattern:
    """A setter's message with one value in it, such as "!FREQ {:.2f}"."""

    def __init__(self, pattern: str) -> None:
        parts = list(string.Formatter().parse(pattern))
        fields = [p for p in parts if p[1] is not None]
        if len(fields) != 1:
            raise DefinitionError(f"setter {pattern!r} must hold exactly one value field")
        regex, self._convert = "", str
        for literal, name, form, _ in parts:
            regex += re.escape(literal)
            if name is not None:
                kind = (form or "")[-1:] if (form or "")[-1:] in _PATTERNS else ""
                value_regex, self._convert = _PATTERNS[kind]
                regex += f"({value_regex})"
        self._regex = re.compile(regex + r"\Z", re.DOTALL)

    def value(self, message: str) -> Optional[Any]:
        """The value `message` carries, or None when it does not match."""
        match = self._regex.match(message)
        if match is None:
            return None
        try:
            return self._convert(match.group(1))
        except ValueError:
            return None


@dataclass
class Specs:
    """What values a property takes: a type, bounds and a list of valid values."""

    type: Callable[[Any], Any] = str
    min: Optional[float] = None
    max: Optional[float] = None
    valid: Optional[list] = None

    def check(self, value: Any) -> Optional[Any]:
        """`value` as the property's type when it is acceptable, else None."""
        try:
            value = self.type(value)
        except (TypeError, ValueError):
            return None
        if self.min is not None and value < self.min or self.max is not None and value > self.max:
            return None
        if self.valid is not None and value not in self.valid:
            return None
        return value


@dataclass
class Property:
    """A value the instrument keeps, read with `getter` and changed with `setter`."""

    name: str
    value: Any
    specs: Specs
    getter: Optional[tuple[str, str]] = None  # (query, answer format)
    setter: Optional[tuple[MessagePattern, Optional[str], Optional[str]]] = None  # (pattern, answer, error)


@dataclass
class Device:
    """One instrument of a definition file: its dialogues, properties and error answer."""

    name: str
    dialogues: dict[str, Optional[str]] = field(default_factory=dict)
    properties: list[Property] = field(default_factory=list)
    command_error: Optional[str] = None
    query_end: str = "\r\n"  # what ends a message the instrument hears
    answer_end: str = "\r\n"  # what ends each of its answers

    def answer(self, message: str) -> Optional[str]:
        """The answer to `message` (without its end), or None for silence: a dialogue, a
        getter, a setter (its answer, or its error for a value out of specs), else the error
        answer."""
        if message in self.dialogues:
            return self.dialogues[message]
        for prop in self.properties:
            if prop.getter and prop.getter[0] == message:
                return prop.getter[1].format(prop.value)
        for prop in self.properties:
            if prop.setter is None:
                continue
            pattern, answer, error = prop.setter
            value = pattern.value(message)
            if value is None:
                continue
            checked = prop.specs.check(value)
            if checked is None:
                return error if error is not None else self.command_error
            prop.value = checked
            return answer
        return self.command_error


def specs_from(name: str, entry: Optional[dict]) -> Specs:
    """The specs of property `name` from its `specs` entry."""
    entry = entry or {}
    kind = entry.get("type", "str")
    if kind not in _TYPES:
        raise DefinitionError(f"property {name!r}: type {kind!r} is none of {', '.join(_TYPES)}")
    return Specs(_TYPES[kind], entry.get("min"), entry.get("max"), entry.get("valid"))
