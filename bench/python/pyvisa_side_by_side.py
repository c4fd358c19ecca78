#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""One PyVISA program, two backends: queries per second and CPU through @py (pyvisa-py over
pySerial) and @kivocom, against the same instrument defined by a definition file and played by
kivocom's simulator in a process of its own on a pseudo-terminal (answers after 100 us,
unpaced). kivocom's own exchange (kivocom.open(...).query, with its lone CR and clearings) runs
beside them for reference. Rounds alternate the clients; the table shows totals over all rounds
and the median of the per-query latencies. CPU is the client process's own (user + system).

Run by hand: bench/python/pyvisa_side_by_side.py BUILD_DIR [queries] [rounds]   (1000, 5)
"""
from __future__ import annotations

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

build = Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
queries = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 5
package = Path(__file__).resolve().parents[2] / "python"
os.environ.setdefault("KIVOCOM_LIBRARY", str(build / "src" / "libkivocom.so.1"))
os.environ.setdefault("KIVOCOM_SIMULATOR_LIBRARY", str(build / "src" / "libkivocom_simulator.so.1"))
sys.path.insert(0, str(package))

import pyvisa  # noqa: E402

import kivocom  # noqa: E402

DEFINITION = """\
devices:
  meter:
    eom:
      ASRL INSTR: {q: "\\r\\n", r: "\\r\\n"}
    error: ERROR
    dialogues:
      - {q: "*IDN?", r: "Kivometrix,bench meter,0,1.0"}
    properties:
      reading:
        default: 23.45
        getter: {q: "READ?", r: "{:+09.2f}"}
        specs: {type: float}
"""


def start_instrument(folder: str) -> tuple[subprocess.Popen, str]:
    path = Path(folder) / "meter.yaml"
    path.write_text(DEFINITION)
    env = dict(os.environ, PYTHONPATH=str(package))
    server = subprocess.Popen([sys.executable, "-m", "kivocom.definitions", str(path), "--reply-delay-us", "100",
                               "--baud", "921600"], stdout=subprocess.PIPE, text=True, env=env)
    return server, server.stdout.readline().strip()


def visa_client(backend: str, name: str):
    rm = pyvisa.ResourceManager(backend)
    inst = rm.open_resource(name, read_termination="\r\n", write_termination="\r\n", timeout=2000)
    assert inst.query("*IDN?").startswith("Kivometrix")

    def close() -> None:
        inst.close()
        rm.close()

    return lambda: inst.query("READ?"), close


def exchange_client(device: str):
    meter = kivocom.open(device, baud=115200, timeout=2.0, strip=True, keep_open=True)
    return lambda: meter.query("READ?").strip(), meter.close


def run(client, count: int) -> tuple[list[float], float, int]:
    query, close = client
    latencies, failures = [], 0
    cpu = time.process_time()
    try:
        for _ in range(count):
            start = time.perf_counter_ns()
            failures += query() != "+00023.45"
            latencies.append((time.perf_counter_ns() - start) / 1000)
    finally:
        cpu = time.process_time() - cpu
        close()
    return latencies, cpu, failures


def main() -> None:
    with tempfile.TemporaryDirectory(prefix="kivocom-bench-") as folder:
        server, device = start_instrument(folder)
        try:
            clients = {
                "@py (pyvisa-py, pySerial)": lambda: visa_client("@py", f"ASRL{device}::INSTR"),
                "@kivocom": lambda: visa_client("@kivocom", f"ASRL{device}::INSTR"),
                "kivocom.open().query": lambda: exchange_client(device),
            }
            totals = {name: ([], 0.0, 0) for name in clients}
            per_round = max(1, queries // rounds)
            for _ in range(rounds):
                for name, make in clients.items():
                    latencies, cpu, failures = run(make(), per_round)
                    old = totals[name]
                    totals[name] = (old[0] + latencies, old[1] + cpu, old[2] + failures)
        finally:
            server.terminate()
            server.wait(5)
    print(f"{per_round * rounds} queries per client in {rounds} alternating rounds; instrument from a definition "
          "file, kivocom simulator in its own process, answers after 100 us, unpaced")
    print(f"{'client':<28} {'queries/s':>10} {'median (us)':>12} {'p99 (us)':>10} {'CPU/query (us)':>15} "
          f"{'failures':>9}")
    for name, (latencies, cpu, failures) in totals.items():
        latencies.sort()
        wall = sum(latencies) / 1e6
        print(f"{name:<28} {len(latencies) / wall:>10.0f} {statistics.median(latencies):>12.1f} "
              f"{latencies[int(len(latencies) * 0.99) - 1]:>10.1f} {cpu / len(latencies) * 1e6:>15.1f} "
              f"{failures:>9}")


if __name__ == "__main__":
    main()
