# SPDX-License-Identifier: MIT
"""The thread that owns the library objects of one device's connections.

The library's objects belong to the thread that made them, and all port objects of a thread share
that thread's one serial line. So every device a program opens gets one thread of its own: it
makes the port objects of all connections to that device (which then share one line, as the
library intends) and runs their calls one at a time, in the order they were asked for. Any thread
may ask; each asker gets the result of its own call, and a Ctrl-C ends its wait at once.
"""
from __future__ import annotations

import queue
import threading
from typing import Any, Callable, Optional

from .errors import PortError
from .port import free_orphans

_ERR_PORT_NOT_OPEN = 8018


class _Call:
    """One call waiting for the line's thread, and its outcome."""

    def __init__(self, function: Callable[..., Any], args: tuple, kwargs: dict) -> None:
        self.function, self.args, self.kwargs = function, args, kwargs
        self.done = threading.Event()
        self.result: Any = None
        self.error: Optional[BaseException] = None

    def run(self) -> None:
        try:
            self.result = self.function(*self.args, **self.kwargs)
        except BaseException as error:  # noqa: BLE001 - handed to the caller
            self.error = error
        finally:
            self.done.set()

    def outcome(self) -> Any:
        if self.error is not None:
            error, self.error = self.error, None
            raise error
        return self.result


class LineThread:
    """The thread of one device's line; `users` counts the connections that hold it."""

    def __init__(self, device: str) -> None:
        self.device = device
        self.users = 0
        self.abandoned: Optional[_Call] = None  # a call whose caller stopped waiting (Ctrl-C)
        self._calls: "queue.SimpleQueue[Optional[_Call]]" = queue.SimpleQueue()
        self._stopping = False
        self._asking = threading.Lock()  # a call is queued either before the end or not at all
        self._thread = threading.Thread(target=self._serve, name=f"kivocom line {device}", daemon=True)
        self._thread.start()

    def _serve(self) -> None:
        while (call := self._calls.get()) is not None:
            call.run()
            free_orphans()
        free_orphans()

    def run(self, function: Callable[..., Any], *args: Any, on_interrupt: Optional[Callable[[], None]] = None,
            **kwargs: Any) -> Any:
        """Runs `function` on the line's thread after the calls asked for before it and returns
        its result (or raises its exception). A KeyboardInterrupt during the wait is raised at
        once, the call finishing on its own; with `on_interrupt`, that is called instead (to
        cancel the call) and the wait goes on to the call's end."""
        if threading.current_thread() is self._thread:
            return function(*args, **kwargs)
        call = _Call(function, args, kwargs)
        self._put(call)
        try:
            call.done.wait()
        except KeyboardInterrupt:
            if on_interrupt is None:
                self.abandoned = call
                raise
            on_interrupt()
            call.done.wait()
        return call.outcome()

    def post(self, function: Callable[..., Any], *args: Any) -> None:
        """Runs `function` on the line's thread after the calls asked for before it, without
        waiting; its exception, if any, is dropped."""
        self._put(_Call(function, args, {}))

    def busy_with_abandoned_call(self) -> bool:
        """Whether a call whose caller stopped waiting is still running."""
        return self.abandoned is not None and not self.abandoned.done.is_set()

    def stop(self) -> None:
        """Ends the thread once the calls asked for so far have run; later calls raise
        kivocom.PortError."""
        with self._asking:
            self._stopping = True
            self._calls.put(None)

    def _put(self, call: _Call) -> None:
        with self._asking:
            if self._stopping:
                raise PortError(_ERR_PORT_NOT_OPEN, "Connection",
                                "The connection is closed; open the instrument again with kivocom.open().")
            self._calls.put(call)


_lines: dict[str, LineThread] = {}
_lines_lock = threading.Lock()


def attach(device: str) -> LineThread:
    """The thread of `device`'s line, started when no connection holds it yet."""
    with _lines_lock:
        line = _lines.get(device)
        if line is None:
            line = _lines[device] = LineThread(device)
        line.users += 1
        return line


def detach(line: LineThread) -> None:
    """Lets go of `line`; its thread ends after its last connection's calls."""
    with _lines_lock:
        line.users -= 1
        if line.users == 0:
            del _lines[line.device]
            line.stop()
