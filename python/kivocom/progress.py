# SPDX-License-Identifier: MIT
"""Progress of a download for the Pythonic layer: a caller's function, a tqdm bar when tqdm is
installed, or a one-line bar on standard error."""
from __future__ import annotations

import sys
from typing import Callable, Optional, Union

# done readings, expected readings, bytes received; returning False cancels the download.
ProgressCallback = Callable[[int, int, int], Optional[bool]]
Progress = Union[None, bool, ProgressCallback]


class Silent:
    """A window that shows nothing and never cancels."""

    def set_message(self, text: str) -> None:
        pass

    def set_visible(self, visible: bool) -> None:
        pass

    def report_progress(self, total: int, done: int, received: int) -> bool:
        return True

    def close_window(self) -> None:
        pass


class CallbackWindow(Silent):
    """Hands every report to the caller's function; False from it cancels."""

    def __init__(self, callback: ProgressCallback) -> None:
        self._callback = callback

    def report_progress(self, total: int, done: int, received: int) -> bool:
        return self._callback(done, total, received) is not False


class TqdmWindow(Silent):
    """A tqdm bar counting readings."""

    def __init__(self, tqdm: type, total: int) -> None:
        self._bar = tqdm(total=total, unit="reading", desc="Downloading", leave=False)

    def report_progress(self, total: int, done: int, received: int) -> bool:
        self._bar.total = max(total, done)
        self._bar.update(done - self._bar.n)
        self._bar.set_postfix(bytes=received, refresh=False)
        return True

    def close_window(self) -> None:
        self._bar.close()


class TextBar(Silent):
    """A one-line bar on standard error: readings done against expected, and bytes."""

    def __init__(self, stream=None, width: int = 30) -> None:
        self._stream = stream or sys.stderr
        self._width = width
        self._drawn = False

    def report_progress(self, total: int, done: int, received: int) -> bool:
        share = min(done / total, 1.0) if total > 0 else 0.0
        filled = int(share * self._width)
        self._stream.write(f"\rDownloading [{'#' * filled}{'.' * (self._width - filled)}] {done}/{total} readings, "
                           f"{received} bytes")
        self._stream.flush()
        self._drawn = True
        return True

    def close_window(self) -> None:
        if self._drawn:
            self._stream.write("\n")
            self._stream.flush()


def window_for(progress: Progress, readings: int) -> Silent:
    """The progress window a Pythonic download shows for `progress`: None or False nothing, a
    function its reports, True a tqdm bar (when tqdm is installed) or a text bar."""
    if progress is None or progress is False:
        return Silent()
    if progress is True:
        try:
            from tqdm import tqdm
        except ImportError:
            return TextBar()
        return TqdmWindow(tqdm, readings)
    return CallbackWindow(progress)
