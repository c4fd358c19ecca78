# SPDX-License-Identifier: MIT
"""KivoINIFile: the settings-file component, for programs that keep their own settings in the same
files as their ports. Every read reads the file afresh; every write reaches the disk at once."""
from __future__ import annotations

import ctypes
import os
from typing import Optional

from ._native import c_char_ptr, c_int, c_int16, c_int32, c_size_t, check, in_range, lib, take_bytes, text_in, text_out


class KivoINIFile:
    """Typed values under keys in named sections of a plain-text settings file."""

    def __init__(self, file_name: Optional[str | os.PathLike] = None, section: Optional[str] = None) -> None:
        handle = ctypes.c_void_p()
        check(lib.kvc_ini_new(ctypes.byref(handle)))
        self._handle = handle
        if file_name is not None:
            self.FileName = os.fspath(file_name)
        if section is not None:
            self.Section = section

    def __del__(self) -> None:
        handle = getattr(self, "_handle", None)
        if handle:
            lib.kvc_ini_free(handle)
            self._handle = None

    @property
    def FileName(self) -> str:
        """The settings file; setting an empty name raises error 52."""
        return text_out(lambda p, n: lib.kvc_ini_get_file_name(self._handle, p, n)).decode("utf-8", "replace")

    @FileName.setter
    def FileName(self, name: str) -> None:
        check(lib.kvc_ini_set_file_name(self._handle, *text_in(os.fsencode(name))))

    @property
    def Section(self) -> str:
        """The section later reads and writes address; a blank name, "]" or a line break raise 5."""
        return text_out(lambda p, n: lib.kvc_ini_get_section(self._handle, p, n)).decode("latin-1")

    @Section.setter
    def Section(self, section: str) -> None:
        check(lib.kvc_ini_set_section(self._handle, *text_in(section)))

    def _read(self, function, key: str, ctype):
        value, found = ctype(), c_int()
        check(function(self._handle, *text_in(key), ctypes.byref(value), ctypes.byref(found)))
        return value.value if found.value else None

    def ReadBoolean(self, key: str) -> Optional[bool]:
        """The Boolean under `key`, or None when it is missing or not a Boolean."""
        value = self._read(lib.kvc_ini_read_boolean, key, c_int)
        return None if value is None else value != 0

    def ReadInteger(self, key: str) -> Optional[int]:
        """The 16-bit integer under `key`, or None when missing or out of range."""
        return self._read(lib.kvc_ini_read_integer, key, c_int16)

    def ReadLong(self, key: str) -> Optional[int]:
        """The 32-bit integer under `key`, or None when missing or out of range."""
        return self._read(lib.kvc_ini_read_long, key, c_int32)

    def ReadString(self, key: str) -> Optional[str]:
        """The text under `key` (blanks at its ends removed), or None when missing."""
        pointer, length, found = c_char_ptr(), c_size_t(), c_int()
        check(lib.kvc_ini_read_string(self._handle, *text_in(key), ctypes.byref(pointer), ctypes.byref(length),
                                      ctypes.byref(found)))
        return take_bytes(pointer, length.value).decode("latin-1") if found.value else None

    def WriteBoolean(self, key: str, value: bool) -> None:
        """Stores "True" or "False" under `key`."""
        check(lib.kvc_ini_write_boolean(self._handle, *text_in(key), 1 if value else 0))

    def WriteInteger(self, key: str, value: int) -> None:
        """Stores a 16-bit integer under `key`."""
        check(lib.kvc_ini_write_integer(self._handle, *text_in(key), in_range(value, c_int16)))

    def WriteLong(self, key: str, value: int) -> None:
        """Stores a 32-bit integer under `key`."""
        check(lib.kvc_ini_write_long(self._handle, *text_in(key), in_range(value, c_int32)))

    def WriteString(self, key: str, value: str) -> None:
        """Stores a text under `key`; a line break or NUL raises 5."""
        check(lib.kvc_ini_write_string(self._handle, *text_in(key), *text_in(value)))
