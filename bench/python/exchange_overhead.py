#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What the Python layer adds to one exchange: ReadPort through the C interface by ctypes, the
faithful CCOMPort.ReadPort and the Pythonic query, against the C++ ReadPort on the same simulator
settings (115200 baud, reply after 100 us, unpaced), and the same calls on a port with no port
chosen, where the call's own cost is all there is. Rounds alternate C++ and Python; the table
shows the median of the rounds' medians.

Run by hand: bench/python/exchange_overhead.py BUILD_DIR [exchanges] [rounds]   (2000, 3)
"""
from __future__ import annotations

import ctypes
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

build = Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
exchanges = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
os.environ.setdefault("KIVOCOM_LIBRARY", str(build / "src" / "libkivocom.so.1"))
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "python"))

import kivocom  # noqa: E402
from kivocom import _native  # noqa: E402


def measure(count: int, call) -> tuple[float, float, int]:
    """Median and 99th percentile in microseconds, and failures, of `count` timed calls."""
    call()
    times, failures = [], 0
    for _ in range(count):
        start = time.perf_counter_ns()
        ok = call()
        times.append((time.perf_counter_ns() - start) / 1000)
        failures += not ok
    times.sort()
    return statistics.median(times), times[int(len(times) * 0.99) - 1], failures


def cxx_round() -> dict[str, tuple[float, float, int]]:
    out = subprocess.run([str(build / "bench" / "readport_reference_bench"), str(exchanges), "100"], check=True,
                         capture_output=True, text=True).stdout
    rows = {}
    for line in out.splitlines():
        name, median, p99, failures = line.split("\t")
        rows[name] = (float(median), float(p99), int(failures))
    return rows


def faithful_port(sim: kivocom.Simulator) -> kivocom.CCOMPort:
    """A port object of this thread on the simulator, set up as kivocom.open sets up its own."""
    port = kivocom.CCOMPort()
    port.port = sim.port
    port.MaxBaudRate = kivocom.EBaudRate.BAUD_921600
    port.BaudRate = kivocom.EBaudRate.BAUD_115200
    port.TimeOut = 1000
    return port


def python_round(sim: kivocom.Simulator) -> dict[str, tuple[float, float, int]]:
    # The ctypes and faithful rows use a port object of this thread; the Pythonic query hands each
    # exchange to the thread its connection's port object lives on, and that hand-over is in its row.
    rows = {}
    port = faithful_port(sim)
    with kivocom.open(sim.port, baud=115200, timeout=1.0) as meter:
        handle, code = port._handle, ctypes.c_int32()
        reply, length = _native.c_char_ptr(), ctypes.c_size_t()
        read, free = _native.lib.kvc_port_read_port, _native.lib.kvc_free

        def raw() -> bool:
            status = read(handle, ctypes.byref(code), b"PV", 2, None, 0, None, 0, ctypes.byref(reply),
                          ctypes.byref(length))
            ok = status == 0 and code.value == 0 and ctypes.string_at(reply, length.value) == b"+0023.45"
            free(reply)
            return ok

        rows["ctypes kvc_port_read_port"] = measure(exchanges, raw)
        rows["kivocom.CCOMPort.ReadPort"] = measure(exchanges, lambda: port.ReadPort("PV") == ("+0023.45", 0))
        rows["kivocom.open(...).query"] = measure(exchanges, lambda: meter.query("PV") == "+0023.45")
    unchosen = kivocom.CCOMPort()
    rows["CCOMPort.ReadPort, no port chosen"] = measure(exchanges * 10, lambda: unchosen.ReadPort("PV")[1] == 3)
    return rows


def main() -> None:
    collected: dict[str, list[tuple[float, float, int]]] = {}
    with kivocom.Simulator(baud=115200) as sim:
        sim.add_instrument(replies={"PV": "+0023.45"}).behaviour(kivocom.Behaviour(reply_delay_us=100, paced=False))
        for _ in range(rounds):
            for rows in (cxx_round(), python_round(sim)):
                for name, row in rows.items():
                    collected.setdefault(name, []).append(row)

    def figure(name: str) -> tuple[float, float, int]:
        rows = collected[name]
        return (statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows),
                sum(r[2] for r in rows))

    print(f"One exchange on a pseudo-terminal, simulator at 115200 baud replying after 100 us, unpaced;"
          f" {exchanges} exchanges per round, {rounds} rounds (median of the rounds' medians).\n")
    print(f"{'call':<36} {'median (us)':>12} {'p99 (us)':>10} {'added (us)':>11} {'failures':>9}")
    for name, base in (("ctypes kvc_port_read_port", "C++ ReadPort"), ("kivocom.CCOMPort.ReadPort", "C++ ReadPort"),
                       ("kivocom.open(...).query", "C++ ReadPort"), ("C++ ReadPort", None),
                       ("CCOMPort.ReadPort, no port chosen", "C++ ReadPort, no port chosen"),
                       ("C++ ReadPort, no port chosen", None)):
        median, p99, failures = figure(name)
        added = f"{median - figure(base)[0]:+.1f}" if base else "-"
        print(f"{name:<36} {median:>12.1f} {p99:>10.1f} {added:>11} {failures:>9}")


if __name__ == "__main__":
    main()
