# SPDX-License-Identifier: MIT
"""The C interface's callback structures, built around Python objects for the length of a call
or for as long as a hook stays installed. A Python exception inside a callback cannot cross the C
library: it is kept and raised again once the call returns."""
from __future__ import annotations

import ctypes
from contextlib import contextmanager
from typing import Any, Callable, Iterator, Optional

from ._native import c_int, c_int32, c_int64, c_size_t, c_void_p

P = ctypes.POINTER
_STATUS_FAILED = 51  # the number a failing Python callback hands back to the library

ComboClear = ctypes.CFUNCTYPE(c_int32, c_void_p)
ComboAdd = ctypes.CFUNCTYPE(c_int32, c_void_p, P(ctypes.c_char), c_size_t, P(ctypes.c_char), c_size_t, c_int32,
                            P(c_int32))
ComboTag = ctypes.CFUNCTYPE(c_int32, c_void_p, c_int32, P(ctypes.c_char), c_size_t)
ComboSelected = ctypes.CFUNCTYPE(c_int32, c_void_p, c_int32, c_int)
ListAddItem = ctypes.CFUNCTYPE(c_int32, c_void_p, P(ctypes.c_char), c_size_t)
ListNewIndex = ctypes.CFUNCTYPE(c_int32, c_void_p, P(c_int32))
ListItemData = ctypes.CFUNCTYPE(c_int32, c_void_p, c_int32, c_int32)
MessageBox = ctypes.CFUNCTYPE(None, c_void_p, P(ctypes.c_char), c_size_t, c_int32, P(ctypes.c_char), c_size_t,
                              P(ctypes.c_char), c_size_t, c_int32)
ProgressMessage = ctypes.CFUNCTYPE(None, c_void_p, P(ctypes.c_char), c_size_t)
ProgressVisible = ctypes.CFUNCTYPE(None, c_void_p, c_int)
ProgressReport = ctypes.CFUNCTYPE(c_int, c_void_p, c_int32, c_int32, c_int64)
ProgressClose = ctypes.CFUNCTYPE(None, c_void_p)
MessagePump = ctypes.CFUNCTYPE(None, c_void_p)


class ImageComboStruct(ctypes.Structure):
    _fields_ = [("user", c_void_p), ("clear", ComboClear), ("add", ComboAdd), ("set_tag", ComboTag),
                ("set_selected", ComboSelected)]


class ListControlStruct(ctypes.Structure):
    _fields_ = [("user", c_void_p), ("clear", ComboClear), ("add_item", ListAddItem), ("new_index", ListNewIndex),
                ("item_data", ListItemData)]


class ProgressWindowStruct(ctypes.Structure):
    _fields_ = [("user", c_void_p), ("set_message", ProgressMessage), ("set_visible", ProgressVisible),
                ("report_progress", ProgressReport), ("close_window", ProgressClose)]


def text(pointer: Any, length: int) -> str:
    """A text the library passed to a callback."""
    return ctypes.string_at(pointer, length).decode("latin-1") if length else ""


class Guard:
    """Runs Python callbacks for the C library, keeping the first exception for later."""

    def __init__(self) -> None:
        self.error: Optional[BaseException] = None

    def status(self, body: Callable[[], None]) -> int:
        """Runs `body`; 0, or a failure number after keeping its exception."""
        try:
            body()
            return 0
        except BaseException as error:  # noqa: BLE001 - nothing may cross into C
            self.error = self.error or error
            return _STATUS_FAILED

    def quietly(self, body: Callable[[], Any], failed: Any = None) -> Any:
        """Runs `body` and returns its result, or `failed` after keeping its exception."""
        try:
            return body()
        except BaseException as error:  # noqa: BLE001
            self.error = self.error or error
            return failed

    def reraise(self) -> None:
        """Raises the kept exception, if any, once."""
        error, self.error = self.error, None
        if error is not None:
            raise error


@contextmanager
def image_combo(ctrl: Any) -> Iterator[ImageComboStruct]:
    guard = Guard()

    def add(_: Any, key: Any, key_len: int, label: Any, label_len: int, image: int, item: Any) -> int:
        def body() -> None:
            item[0] = int(ctrl.add(text(key, key_len), text(label, label_len), image))

        return guard.status(body)

    combo = ImageComboStruct(None, ComboClear(lambda _: guard.status(ctrl.clear)), ComboAdd(add),
                             ComboTag(lambda _, i, t, n: guard.status(lambda: ctrl.set_tag(i, text(t, n)))),
                             ComboSelected(lambda _, i, s: guard.status(lambda: ctrl.set_selected(i, s != 0))))
    try:
        yield combo
    except BaseException:
        guard.reraise()  # the callback's own exception is the cause of the library's error
        raise
    guard.reraise()


@contextmanager
def list_control(ctrl: Any) -> Iterator[ListControlStruct]:
    guard = Guard()

    def new_index(_: Any, index: Any) -> int:
        def body() -> None:
            index[0] = int(ctrl.new_index())

        return guard.status(body)

    control = ListControlStruct(None, ComboClear(lambda _: guard.status(ctrl.clear)),
                                ListAddItem(lambda _, t, n: guard.status(lambda: ctrl.add_item(text(t, n)))),
                                ListNewIndex(new_index),
                                ListItemData(lambda _, i, v: guard.status(lambda: ctrl.item_data(i, v))))
    try:
        yield control
    except BaseException:
        guard.reraise()  # the callback's own exception is the cause of the library's error
        raise
    guard.reraise()


