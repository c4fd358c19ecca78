# SPDX-License-Identifier: MIT
"""What the Pythonic layer does with mistakes and failures: the port error at once instead of a
time-out, wrong argument types and ranges, numbers for devices that never collide, and settings
saved for a device that open the same device again."""
from __future__ import annotations

import subprocess

import pytest

import kivocom


def test_port_errors_are_raised_at_once_with_their_reason(sim, quick, tmp_path):
    missing = tmp_path / "ttyUSB9"
    with pytest.raises(kivocom.PortError, match="ttyUSB9, which has no device") as error:
        kivocom.open(missing, timeout=30).query("PV")
    assert error.value.number == 8002
    with pytest.raises(ValueError, match="empty"):
        kivocom.open("")
    with pytest.raises(ValueError, match="start at 1"):
        kivocom.open(0)
    sim.add_instrument().behaviour(quick)
    meter = kivocom.open(sim.device, timeout=30)
    assert meter.query("PV") == "+0023.45"
    sim.unplug()
    with pytest.raises(kivocom.PortError):
        meter.query("PV")
    meter.close()
    meter.close()
    with pytest.raises(kivocom.PortError, match="closed") as closed:
        meter.query("PV")
    assert closed.value.number == 8018
    with pytest.raises(kivocom.PortError):
        meter.port_object.TimeOut


def test_a_line_lost_during_the_reply_is_a_port_error(sim):
    sim.add_instrument().behaviour(kivocom.Behaviour(reply_delay_us=1000, paced=False, unplug_after=3))
    with kivocom.open(sim.device, timeout=30) as meter:
        with pytest.raises(kivocom.PortError) as lost:
            meter.query("PV")
    assert lost.value.number != kivocom.ECOMError.CE_TIMEOUT


def test_wrong_types_and_ranges_are_refused(sim):
    with kivocom.open(sim.device) as meter:
        for bad in (123, None, 4.5, ["PV"]):
            with pytest.raises(TypeError):
                meter.query(bad)
        with pytest.raises(TypeError):
            meter.send(7)
        with pytest.raises(TypeError):
            meter.port_object.ReadPort(123)
    assert sim.received == b""
    for timeout in (0, -1, 0.0):
        with pytest.raises(ValueError, match="above 0"):
            kivocom.open(sim.device, timeout=timeout)
    with pytest.raises(OverflowError):
        sim.baud = 10**12
    instrument = sim.add_instrument()
    with pytest.raises(OverflowError):
        instrument.behaviour(kivocom.Behaviour(piece_gap_ms=2**40))
    with pytest.raises(OverflowError):
        instrument.readings("DL", -(2**33))
    assert sim.baud == 9600


def test_numbers_for_devices_never_collide(quick):
    with kivocom.Simulator() as sim_a, kivocom.Simulator() as sim_b:
        sim_a.add_instrument(replies={"ID": "SIM-A"}).behaviour(quick)
        sim_b.add_instrument(replies={"ID": "SIM-B"}).behaviour(quick)
        others = [kivocom.open(sim_b.device) for _ in range(20)]
        numbers = [sim_a.port, sim_b.port] + [c.port_object.port for c in others]
        assert len(set(numbers)) == len(numbers)
        with kivocom.open(sim_a.port, timeout=0.5) as meter:
            assert meter.query("ID") == "SIM-A"
        for connection in others:
            connection.close()
        assert kivocom.port_device_path(sim_a.port) == sim_a.device
        for _ in range(300):  # more openings than there are numbers: each gives its number back
            with kivocom.open(sim_b.device, timeout=0.5) as meter:
                assert meter.port_object.port >= 1
        with kivocom.open(sim_a.port, timeout=0.5) as meter:
            assert meter.query("ID") == "SIM-A"


def test_settings_saved_for_a_device_open_that_device_in_the_tool(sim, quick, tool, tmp_path, monkeypatch):
    monkeypatch.setenv("KIVOCOM_PORTS_DIR", str(tmp_path / "ports"))
    sim.add_instrument(replies={"PV": "+0042.00"}).behaviour(quick)
    path = tmp_path / "meter.ini"
    with kivocom.open(sim.device, baud=19200, timeout=0.5) as meter:
        meter.save(path)
        meter.save(path)  # the device is recorded once
    assert len(list((tmp_path / "ports").iterdir())) == 1
    answered = subprocess.run([tool, "query", "PV", "--settings", str(path)], capture_output=True, text=True,
                              timeout=30)
    assert answered.returncode == 0, answered.stderr
    assert "+0042.00" in answered.stdout
    with kivocom.open(sim.device, timeout=0.5) as again:  # the recorded number is the device's from now on
        assert again.port_object.port == int(next((tmp_path / "ports").iterdir()).name[3:])
