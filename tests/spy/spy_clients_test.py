# SPDX-License-Identifier: MIT
"""Programs that are not kivocom, talking through `kivocom spy` to a simulated bb4 switch with
omega instruments on ports A and B: a pySerial program and a PyVISA program (pyvisa-py), each
doing an omega poll and a set frame on port A and a query on port B, as the library frames them.
The spy's decoded JSON lines must name every frame.

    spy_clients_test.py KIVOCOM_TOOL

Exits 77 (skipped) when pySerial or PyVISA with pyvisa-py is not installed."""
import json
import subprocess
import sys
import threading
import time
import unittest

try:
    import pyvisa
    import serial
except ImportError:
    sys.exit(77)

TOOL = sys.argv.pop(1) if len(sys.argv) > 1 else "kivocom"
ESC, STX, ETX, EOT, ENQ, CR = b"\x1b", b"\x02", b"\x03", b"\x04", b"\x05", b"\r"


def poll_frame(command):
    return EOT + b"0011" + command + ENQ


def set_frame(command, value):
    body = command + value + ETX
    check = 0
    for byte in body:
        check ^= byte
    return EOT + b"0011" + STX + body + bytes([check])


def exchanges():
    """The three exchanges: (switch port, frame, expected reply without its line end)."""
    return [(b"A", poll_frame(b"PV"), b"+0024.45"),
            (b"A", set_frame(b"SL", b"100.0"), b"\x06"),
            (b"B", poll_frame(b"ID"), b"KIVO SIMULATED INSTRUMENT 2")]


def routed(port, frame):
    """What the library sends for one exchange through a bb4 switch: release, select, lone CR, frame."""
    return [ESC + STX + EOT, ESC + STX + port + CR, CR, frame + CR]


class Background:
    """A tool running beside the tests, its output lines gathered by a thread."""

    def __init__(self, args):
        self.process = subprocess.Popen([TOOL] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line.decode("latin-1"))

    def wait_for(self, predicate, start=0, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for line in self.lines[start:]:
                if predicate(line):
                    return line
            time.sleep(0.02)
        raise AssertionError("not seen in time; output:\n" + "".join(self.lines[start:]))

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=5)
        self.reader.join(timeout=5)
        self.process.stdout.close()


class SpyClientsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = Background(["simulate", "--style", "omega", "--switch", "bb4", "--instruments", "2"])
        device = cls.sim.wait_for(lambda line: "export KIVOCOM_COM9=" in line).split("=", 1)[1].strip()
        cls.spy = Background(["spy", device, "--decode", "--json"])
        ready = json.loads(cls.spy.wait_for(lambda line: '"event":"ready"' in line))
        cls.program_device = ready["program_device"]

    @classmethod
    def tearDownClass(cls):
        cls.spy.stop()
        cls.sim.stop()

    def frames_after(self, start):
        """The frames the spy named from line `start` on, once the last reply is among them."""
        self.spy.wait_for(lambda line: "KIVO SIMULATED INSTRUMENT 2" in line and '"frame":"reply"' in line, start)
        return [frame for line in self.spy.lines[start:] for frame in json.loads(line).get("frames", [])]

    def check_decoded(self, frames):
        kinds = [frame["frame"] for frame in frames]
        self.assertEqual(kinds.count("switch-release"), 3, kinds)
        selects = [frame["port"] for frame in frames if frame["frame"] == "switch-select"]
        self.assertEqual(selects, ["A", "A", "B"])
        self.assertTrue(all(f["model"] == "bb4" for f in frames if f["frame"].startswith("switch")))
        self.assertEqual(kinds.count("lone-cr"), 3, kinds)
        polls = [(f["address"], f["command"]) for f in frames if f["frame"] == "omega-poll"]
        self.assertEqual(polls, [("01", "PV"), ("01", "ID")])
        (setting,) = [f for f in frames if f["frame"] == "omega-set"]
        self.assertEqual((setting["body"], setting["check"], setting["check_ok"]), ("SL100.0", "33", True))
        replies = [f for f in frames if f["frame"] in ("reply", "ack")]
        self.assertEqual([f.get("text", "ACK") for f in replies], ["+0024.45", "ACK", "KIVO SIMULATED INSTRUMENT 2"])
        self.assertTrue(all(f["gap_ms"] > 0 for f in replies), replies)

    def test_pyserial_program(self):
        start = len(self.spy.lines)
        with serial.Serial(self.program_device, 9600, timeout=2) as line:
            for port, frame, expected in exchanges():
                for piece in routed(port, frame):
                    line.write(piece)
                self.assertEqual(line.read_until(b"\n"), expected + b"\r\n")
        self.check_decoded(self.frames_after(start))

    def test_pyvisa_program(self):
        start = len(self.spy.lines)
        manager = pyvisa.ResourceManager("@py")
        instrument = manager.open_resource("ASRL" + self.program_device + "::INSTR", baud_rate=9600,
                                           read_termination="\n", write_termination="", timeout=2000)
        try:
            for port, frame, expected in exchanges():
                for piece in routed(port, frame):
                    instrument.write_raw(piece)
                self.assertEqual(instrument.read_raw(), expected + b"\r\n")
        finally:
            instrument.close()
            manager.close()
        self.check_decoded(self.frames_after(start))


if __name__ == "__main__":
    unittest.main()
