# SPDX-License-Identifier: MIT
"""A thread of its own for each open resource.

kivocom gives every thread one serial line, shared by the port objects of that thread, and a port
object is used on the thread that made it. PyVISA programs hold several resources open at once
and use them from any thread (pymeasure runs procedures on worker threads), so each session's
port object lives on a thread of its own and every call on it is handed to that thread. The
thread is a daemon, so that a program that ends without closing its resources still ends, and
PyVISA's own closing at exit still reaches it."""
from __future__ import annotations

import queue
import threading
from typing import Any, Callable, Optional, TypeVar

T = TypeVar("T")


class _Job:
    def __init__(self, call: Callable[[], Any]) -> None:
        self.call = call
        self.done = threading.Event()
        self.result: Any = None
        self.error: Optional[BaseException] = None

    def run(self) -> None:
        try:
            self.result = self.call()
        except BaseException as error:  # handed to the caller, whatever it is
            self.error = error
        finally:
            self.done.set()


class LineThreadStopped(RuntimeError):
    """A call on a line whose thread has ended (its resource was closed)."""


class LineThread:
    """Runs calls, one at a time and in order, on one thread that owns a serial line."""

    def __init__(self, name: str) -> None:
        self._jobs: "queue.SimpleQueue[Optional[_Job]]" = queue.SimpleQueue()
        self._lock = threading.Lock()  # callers from several threads take turns
        self._stopped = False
        self._thread = threading.Thread(target=self._serve, name=f"kivocom {name}", daemon=True)
        self._thread.start()

    def _serve(self) -> None:
        while (job := self._jobs.get()) is not None:
            job.run()

    def run(self, call: Callable[[], T]) -> T:
        """Runs `call` on the line's thread and returns its result or raises its exception."""
        with self._lock:
            if self._stopped:
                raise LineThreadStopped("the resource is closed")
            job = _Job(call)
            self._jobs.put(job)
            job.done.wait()
        if job.error is not None:
            raise job.error
        return job.result

    def stop(self, last_call: Callable[[], None]) -> None:
        """Runs `last_call` on the line's thread, then ends the thread (its line closes with it);
        nothing once stopped."""
        if self._stopped:
            return
        try:
            self.run(last_call)
        finally:
            with self._lock:
                self._stopped = True
                self._jobs.put(None)
            if threading.current_thread() is not self._thread:
                self._thread.join()
