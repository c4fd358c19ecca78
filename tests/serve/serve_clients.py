# SPDX-License-Identifier: MIT
"""Drives `kivocom serve` in front of a simulated rack (a bb8 switch, eight instruments that answer
with their own port's name) with real clients: pySerial's rfc2217://, gensio's gensiot and
kivocom's own rfc2217:// ports (through its Python package). Used by the tests (small counts) and
by the benchmark (bench/serve/serve_bench.py), which imports it."""
from __future__ import annotations

import os
import signal
import socket
import subprocess
import threading
import time
from dataclasses import dataclass, field
from typing import List, Optional

import serial  # pySerial, Debian's python3-serial

BAUD = 115200
NAMES = "ABCDEFGH"


@dataclass
class Paths:
    tool: str
    rack: str


@dataclass
class Tally:
    kind: str
    port: str
    replies: int = 0
    misdelivered: int = 0
    failures: List[str] = field(default_factory=list)
    seconds: List[float] = field(default_factory=list)


class Rack:
    """The simulated rack; it stops when its standard input closes."""

    def __init__(self, paths: Paths, unplug_download: bool = False):
        args = [paths.rack] + (["--unplug-download"] if unplug_download else [])
        self.process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.device = self.process.stdout.readline().strip()

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=10)
        self.process.stdout.close()


def free_port_block(count: int) -> int:
    """A first TCP port with `count` free ports from it, on loopback."""
    for _ in range(50):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            first = probe.getsockname()[1]
        if first + count >= 65535:
            continue
        try:
            for port in range(first, first + count):
                with socket.socket() as s:
                    s.bind(("127.0.0.1", port))
            return first
        except OSError:
            continue
    raise RuntimeError("no block of free ports")


class Server:
    """`kivocom serve` on the rack's line; its log lines are collected."""

    def __init__(self, paths: Paths, device: str, *extra: str):
        self.first = free_port_block(10)
        args = [paths.tool, "serve", "--device", device, "--baud", str(BAUD), "--switch", "bb8", "--download", "DL",
                "--timeout", "400", "--listen", f"127.0.0.1:{self.first}", *extra]
        self.process = subprocess.Popen(args, stderr=subprocess.PIPE, text=True)
        self.log: List[str] = []
        self._ready = threading.Event()
        self._reader = threading.Thread(target=self._read_log, daemon=True)
        self._reader.start()
        if not self._ready.wait(10):
            raise RuntimeError("the server did not start: " + "\n".join(self.log))

    def _read_log(self):
        for line in self.process.stderr:
            self.log.append(line.rstrip("\n"))
            if "serving the whole line" in line:
                self._ready.set()

    def port(self, name: str) -> int:
        return self.first + NAMES.index(name)

    def whole_line(self) -> int:
        return self.first + 8

    def logged(self, text: str, wait: float = 5.0) -> bool:
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline:
            if any(text in line for line in self.log):
                return True
            time.sleep(0.02)
        return False

    def stop(self) -> int:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        code = self.process.wait(timeout=10)
        self._reader.join(5)
        self.process.stderr.close()
        return code


# ---- the three kinds of client; each makes `count` exchanges of ID and checks the name ----

def pyserial_client(server: Server, name: str, count: int, tally: Tally):
    with serial.serial_for_url(f"rfc2217://127.0.0.1:{server.port(name)}", baudrate=BAUD, timeout=5) as line:
        for _ in range(count):
            started = time.perf_counter()
            line.write(b"\rID\r")
            reply = line.readline()
            tally.seconds.append(time.perf_counter() - started)
            check(tally, name, reply.decode("latin-1").strip(), bool(reply))


def gensiot_client(server: Server, name: str, count: int, tally: Tally):
    process = subprocess.Popen(["gensiot", "-i", "stdio(self)", f"telnet(rfc2217),tcp,127.0.0.1,{server.port(name)}"],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        for _ in range(count):
            started = time.perf_counter()
            process.stdin.write(b"ID\r")
            process.stdin.flush()
            reply = process.stdout.readline()
            tally.seconds.append(time.perf_counter() - started)
            check(tally, name, reply.decode("latin-1").strip(), bool(reply))
    finally:
        process.kill()
        process.wait()
        process.stdin.close()
        process.stdout.close()


def kivocom_client(server: Server, name: str, count: int, tally: Tally):
    import kivocom
    with kivocom.open(f"rfc2217://127.0.0.1:{server.port(name)}", baud=BAUD, timeout=2.0, retries=1,
                      keep_open=True) as meter:
        for _ in range(count):
            started = time.perf_counter()
            try:
                reply = meter.query("ID")
            except kivocom.Error as e:
                reply = ""
                tally.failures.append(str(e))
            tally.seconds.append(time.perf_counter() - started)
            check(tally, name, reply, True)


CLIENTS = {"pyserial": pyserial_client, "gensiot": gensiot_client, "kivocom": kivocom_client}


def check(tally: Tally, name: str, reply: str, got_something: bool):
    if reply == name:
        tally.replies += 1
    elif got_something and reply:
        tally.misdelivered += 1
        tally.failures.append(f"asked {name}, got {reply!r}")
    else:
        tally.failures.append(f"asked {name}, got nothing")


def client_kinds():
    """kivocom's Python package needs the library; a sanitizer build's library cannot load into
    Python, so there the other two kinds take its turns."""
    return ("pyserial", "gensiot", "kivocom") if os.environ.get("KIVOCOM_LIBRARY") else ("pyserial", "gensiot")


def load(server: Server, count: int, kinds=None) -> List[Tally]:
    """Eight clients, one per switch port, kinds in turn, each making `count` exchanges at once."""
    kinds = kinds or client_kinds()
    tallies = [Tally(kinds[i % len(kinds)], name) for i, name in enumerate(NAMES)]
    threads = [threading.Thread(target=run_client, args=(CLIENTS[t.kind], server, t.port, count, t)) for t in tallies]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return tallies


def run_client(client, server, name, count, tally):
    try:
        client(server, name, count, tally)
    except Exception as e:  # the tally says what went wrong; the test fails on it
        tally.failures.append(f"{type(e).__name__}: {e}")


def direct_exchanges(device: str, name: str, count: int) -> List[float]:
    """The same exchange on the port itself, through kivocom's Python package (no server)."""
    import kivocom
    seconds = []
    with kivocom.open(device, baud=BAUD, switch="bb8", switch_port=name, timeout=2.0, retries=1,
                      keep_open=True) as meter:
        for _ in range(count):
            started = time.perf_counter()
            reply = meter.query("ID")
            seconds.append(time.perf_counter() - started)
            assert reply == name, reply
    return seconds


def raw_connection(port: int) -> socket.socket:
    connection = socket.create_connection(("127.0.0.1", port), timeout=10)
    return connection


def read_until_closed(connection: socket.socket, limit: float = 10.0) -> (bytes, bool):
    """Everything the server sends until it closes the connection; closed is False on time-out."""
    connection.settimeout(limit)
    data = b""
    try:
        while True:
            piece = connection.recv(65536)
            if not piece:
                return data, True
            data += piece
    except (socket.timeout, TimeoutError):
        return data, False
    except ConnectionResetError:
        return data, True
