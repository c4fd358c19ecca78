# SPDX-License-Identifier: MIT
"""Downloads with progress and cancel, through the Pythonic layer and the faithful hooks."""
from __future__ import annotations

import pytest

import kivocom


def test_download_reports_progress_and_returns_every_reading(sim, quick):
    sim.add_instrument().behaviour(quick).readings("DL", 12)
    seen = []
    with kivocom.open(sim.device, baud=115200, timeout=0.3) as meter:
        data = meter.download("DL", readings=12, progress=lambda done, total, received: seen.append((done, total)))
    assert data.split("\r\n")[:-1] == data.split("\r\n")[:12] and data.count("\r\n") == 12
    assert seen[-1] == (12, 12)


def test_cancel_from_the_callback_keeps_what_arrived(sim, quick):
    sim.add_instrument().behaviour(quick).readings("DL", 30, per_piece=10, gap_ms=1500)
    with kivocom.open(sim.device, baud=115200, timeout=0.3) as meter:
        with pytest.raises(kivocom.Aborted) as aborted:
            meter.download("DL", readings=30, progress=lambda done, total, received: done < 10)
    assert aborted.value.number == kivocom.ECOMError.CE_ABORTED
    assert aborted.value.data.count("\r\n") == 10


def test_binary_download_is_bytes(sim, quick):
    sim.add_instrument().behaviour(quick).readings("DB", 5, binary=True)
    with kivocom.open(sim.device, baud=115200, timeout=0.3) as meter:
        data = meter.download("DB", readings=5, binary=True)
    assert isinstance(data, bytes) and data[:4] == b"0005" and len(data) == 4 + 5 * 10


def test_progress_bar_on_standard_error(sim, quick, capsys, monkeypatch):
    monkeypatch.setitem(__import__("sys").modules, "tqdm", None)  # the text bar, whether tqdm is there or not
    sim.add_instrument().behaviour(quick).readings("DL", 4)
    with kivocom.open(sim.device, baud=115200, timeout=0.3) as meter:
        meter.download("DL", readings=4, progress=True)
    assert "4/4 readings" in capsys.readouterr().err


def test_a_raising_progress_window_cancels_and_raises_after(sim, quick):
    class Broken:
        def set_message(self, text): pass
        def set_visible(self, visible): pass
        def report_progress(self, total, done, received): raise RuntimeError("window gone")
        def close_window(self): pass

    sim.add_instrument().behaviour(quick).readings("DL", 3)
    port = kivocom.CCOMPort()
    port.port, port.MaxBaudRate, port.TimeOut = sim.port, kivocom.EBaudRate.BAUD_921600, 300
    port.BaudRate = kivocom.EBaudRate.BAUD_9600
    kivocom.set_message_box_handler(lambda *box: None)
    kivocom.set_progress_window(Broken())
    try:
        with pytest.raises(RuntimeError, match="window gone"):
            port.Download(False, "DL", readings=3)
    finally:
        kivocom.set_progress_window(None)
        kivocom.set_message_box_handler(None)
