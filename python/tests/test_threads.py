# SPDX-License-Identifier: MIT
"""Threads and Ctrl-C: one connection shared by threads, the faithful port held to its thread, and
a KeyboardInterrupt that ends a wait or cancels a download."""
from __future__ import annotations

import signal
import threading

import pytest

import kivocom

WRONG_THREAD = -0x7FFEFEF2  # 0x8001010E as a signed 32-bit number


def test_threads_sharing_a_connection_each_get_their_own_replies(sim, quick):
    threads, queries = 8, 100
    instrument = sim.add_instrument().behaviour(quick)
    for t in range(threads):
        instrument.reply(f"Q{t}", f"R{t}")
    wrong: list[tuple[int, object]] = []
    with kivocom.open(sim.device, timeout=0.5) as meter:
        def ask(t: int) -> None:
            for _ in range(queries):
                try:
                    reply = meter.query(f"Q{t}")
                except kivocom.Error as error:
                    reply = error
                if reply != f"R{t}":
                    wrong.append((t, reply))

        workers = [threading.Thread(target=ask, args=(t,)) for t in range(threads)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        assert meter.port_object.TimeOut == 500  # the port object, reached from this thread
    assert wrong == []
    assert sim.received.count(b"\r") == 2 * threads * queries  # every exchange once: a lone CR, then the command


def test_faithful_port_refuses_another_thread():
    port = kivocom.CCOMPort()
    port.TimeOut = 700
    errors: list[BaseException] = []

    def use() -> None:
        try:
            port.TimeOut = 5
        except kivocom.Error as error:
            errors.append(error)

    worker = threading.Thread(target=use)
    worker.start()
    worker.join()
    assert [(e.number, e.source) for e in errors] == [(WRONG_THREAD, "kvc_port_set_timeout")]
    assert port.TimeOut == 700


def _interrupt_main_thread() -> None:
    signal.pthread_kill(threading.main_thread().ident, signal.SIGINT)


def test_ctrl_c_ends_the_wait_for_a_silent_instrument(sim):
    sim.add_instrument().behaviour(kivocom.Behaviour(silent=True))
    with kivocom.open(sim.device, timeout=5, retries=3) as meter:
        assert sim.wait_for_received(b"PV\r", 0) is False
        threading.Thread(target=lambda: sim.wait_for_received(b"PV\r", 5000) and _interrupt_main_thread()).start()
        with pytest.raises(KeyboardInterrupt):
            meter.query("PV")
        # Raised during the first attempt: the command went out once, the retries never came.
        assert sim.received.count(b"PV\r") == 1
    with pytest.raises(kivocom.PortError):
        meter.query("PV")


def test_ctrl_c_cancels_a_download_and_keeps_its_data(sim, quick):
    sim.add_instrument().behaviour(quick).readings("DL", 200, per_piece=10, gap_ms=200)
    interrupted: list[int] = []

    def progress(done: int, total: int, received: int) -> None:
        if done and not interrupted:
            interrupted.append(done)
            _interrupt_main_thread()

    with kivocom.open(sim.device, baud=115200, timeout=1.0) as meter:
        with pytest.raises(kivocom.Aborted) as aborted:
            meter.download("DL", readings=200, progress=progress)
        assert "Ctrl-C" in aborted.value.description
        assert isinstance(aborted.value.__cause__, KeyboardInterrupt)
        assert interrupted[0] <= aborted.value.data.count("\r\n") < 200
