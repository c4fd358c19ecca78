# SPDX-License-Identifier: MIT
"""Exchanges through the Pythonic layer against the simulator: every style, a switch route, a
set frame, errors as exceptions with the library's numbers."""
from __future__ import annotations

import pytest

import kivocom


@pytest.mark.parametrize("style, address", [("kivo", ""), ("omega", "01"), ("azonix", ""), ("xsys", "")])
def test_each_style_queries_its_instrument(sim, quick, style, address):
    sim.add_instrument(style, address, replies={"PV": "+0012.50"}).behaviour(quick)
    with kivocom.open(sim.device, baud=19200, style=style, address=address, timeout=0.5) as meter:
        assert meter.query("PV") == "+0012.50"
        assert meter.port_object.ControllerStyle == kivocom.simulator.controller_style(style)
        assert meter.port_object.BaudRateName() == "19200"
    assert b"PV" in sim.received


def test_bytes_beyond_ascii_and_nul_arrive_unchanged(sim, quick):
    sim.add_instrument(replies={"RAW": b"A\x00B\xe9"}).behaviour(quick)
    with kivocom.open(sim.device, timeout=0.5, check_non_ascii=False) as meter:
        assert meter.query("RAW").encode("latin-1") == b"A\x00B\xe9"


def test_omega_set_frame_is_acknowledged_and_stored(sim):
    # Paced at 9600 baud: the acknowledgement's line end is still on its way when ACK is read.
    meter_sim = sim.add_instrument("omega", "01")
    with kivocom.open(sim.device, style="omega", address="01", timeout=0.5) as meter:
        meter.send("SP", value="100.0")
        assert meter.query("SP") == "100.0" == meter_sim.stored_reply("SP")
        meter_sim.acknowledgement("\x15")
        with pytest.raises(kivocom.InvalidData, match="NAK"):
            meter.send("SP", value="1")


def test_route_through_the_smart_switch(sim, quick):
    sim.use_smart_switch("bb4")
    sim.add_instrument(switch_port="A", replies={"ID": "meter A"}).behaviour(quick)
    sim.add_instrument(switch_port="C", replies={"ID": "meter C"}).behaviour(quick)
    with kivocom.open(sim.device, timeout=0.5, switch="bb4", switch_port="C", keep_open=True) as meter:
        assert meter.query("ID") == "meter C"
        assert sim.connected_switch_port == "C"
        assert meter.query("ID", switch_port="A") == "meter A"


def test_errors_carry_the_library_numbers(sim, quick):
    instrument = sim.add_instrument(replies={"BAD": "\xb0C"}).behaviour(quick)
    with kivocom.open(sim.device, timeout=0.1, retries=2) as meter:
        with pytest.raises(kivocom.InvalidData) as invalid:
            meter.query("BAD")
        assert invalid.value.number == kivocom.ECOMError.CE_INVALID_DATA == 2
        instrument.behaviour(kivocom.Behaviour(silent=True))
        with pytest.raises(TimeoutError) as timeout:
            meter.query("PV")
        assert isinstance(timeout.value, kivocom.Timeout) and timeout.value.number == 1
        assert sim.received.count(b"PV\r") == 2  # two transmissions in all
        instrument.acknowledgement(None)
    with pytest.raises(ValueError, match="1234"):
        kivocom.open(sim.device, baud=1234)
    # A refused opening leaves no mapping behind: only the simulator's own number names its device.
    assert [n for n in range(1, 257) if kivocom.port_device_path(n) == sim.device] == [sim.port]


def test_faithful_layer_reports_the_refused_baud_rate():
    port = kivocom.CCOMPort()
    port.MinBaudRate, port.MaxBaudRate = kivocom.EBaudRate.BAUD_9600, kivocom.EBaudRate.BAUD_19200
    with pytest.raises(kivocom.Error) as refused:
        port.BaudRate = kivocom.EBaudRate.BAUD_115200
    error = refused.value
    assert (error.number, error.source, error.description) == (
        -0x7FFBFFCA, "CCOMPort - Let BaudRate", "Baud rate not supported.")
    assert error.number & 0xFFFFFFFF == 0x80040036
    assert port.BaudRate == kivocom.EBaudRate.BAUD_NONE


def test_exchange_without_a_port_is_aborted():
    port = kivocom.CCOMPort()
    reply, code = port.ReadPort("PV")
    assert (reply, code) == ("", kivocom.ECOMError.CE_ABORTED)
