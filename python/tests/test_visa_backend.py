# SPDX-License-Identifier: MIT
"""The @kivocom PyVISA backend: resource names, the bytes a program writes and reads, time-outs,
the kivocom extras (framing, switch route, retries), several resources at once, lost lines and
a network port through a real ser2net."""
from __future__ import annotations

import shutil
import socket
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

pyvisa = pytest.importorskip("pyvisa")
from pyvisa import VisaIOError  # noqa: E402
from pyvisa.constants import StatusCode  # noqa: E402

import kivocom  # noqa: E402
from pyvisa_kivocom import resource_names  # noqa: E402

QUICK = kivocom.Behaviour(reply_delay_us=1000, paced=False)
HOLD_PORT = """import sys, time, kivocom
port = kivocom.open(sys.argv[1], keep_open=True).port_object
port.OpenPort()
print("holding", flush=True)
time.sleep(30)
"""


@pytest.fixture
def sim(sim, renumber):
    """Resource names reach COM 101, not the simulator's own number."""
    return renumber(sim, 101)


@pytest.fixture
def rm():
    manager = pyvisa.ResourceManager("@kivocom")
    yield manager
    manager.close()


def open_sim(rm, sim, options: str = "", **attributes):
    attributes.setdefault("timeout", 300)
    attributes.setdefault("read_termination", "\r\n")
    return rm.open_resource(f"ASRL{sim.port}{options}::INSTR", **attributes)


@pytest.mark.parametrize("name, port, options", [
    ("ASRL3::INSTR", 3, {}),
    ("asrl3", 3, {}),
    ("COM7", 7, {}),
    ("ASRL/dev/ttyUSB0::INSTR", "/dev/ttyUSB0", {}),
    ("ASRLrfc2217://127.0.0.1:7000::INSTR", "rfc2217://127.0.0.1:7000", {}),
    ("ASRLtcp://lab:4001?retries=3::INSTR", "tcp://lab:4001", {"retries": "3"}),
    ("ASRL4?style=omega&address=01&switch=bb4&switch_port=C::INSTR", 4,
     {"style": "omega", "address": "01", "switch": "bb4", "switch_port": "C"}),
])
def test_resource_names(name, port, options):
    resource = resource_names.parse(name)
    assert (resource.port, resource.options) == (port, options)
    assert resource_names.parse(resource.name) == resource


@pytest.mark.parametrize("name", ["GPIB0::3::INSTR", "ASRL::INSTR", "ASRL0::INSTR", "ASRL257::INSTR",
                                  "ASRL3?colour=red::INSTR", "ASRL3?retries=0::INSTR", "ASRL3?switch_port=A::INSTR",
                                  "ASRL3?retries=1&retries=2::INSTR", "ASRL3?junk::INSTR"])
def test_bad_resource_names_are_refused_at_once(rm, name):
    with pytest.raises(VisaIOError) as caught:
        rm.open_resource(name)
    assert caught.value.error_code == StatusCode.error_invalid_resource_name


def test_listed_ports_carry_the_com_alias(rm, sim):
    assert f"ASRL{sim.port}::INSTR" in rm.list_resources()
    info = rm.list_resources_info()[f"ASRL{sim.port}::INSTR"]
    assert (info.alias, info.interface_board_number) == (f"COM{sim.port}", sim.port)
    assert rm.list_resources("GPIB?*::INSTR") == ()


def test_the_line_carries_exactly_the_bytes_written(rm, sim):
    sim.add_instrument(replies={"*IDN?": "kivo meter"}).behaviour(QUICK)
    with open_sim(rm, sim, write_termination="\r") as meter:
        assert meter.query("*IDN?") == "kivo meter"
        meter.write_raw(b"RAW\x00\xff\r")
        assert sim.wait_for_received(b"RAW\x00\xff\r")
    assert sim.received == b"*IDN?\rRAW\x00\xff\r"  # no lone CR, no framing


def test_reads_end_at_the_termination_and_keep_what_follows(rm, sim):
    sim.add_instrument(replies={"TWO": "first\r\nsecond"}).behaviour(QUICK)
    with open_sim(rm, sim) as meter:
        meter.write("TWO")
        assert meter.read() == "first"
        assert meter.read() == "second"
        meter.write("TWO")
        assert meter.read_bytes(3) == b"fir"
        assert meter.read_raw() == b"st\r\n"
        time.sleep(0.05)
        assert meter.bytes_in_buffer == len("second\r\n")
        meter.clear()
        assert meter.bytes_in_buffer == 0


def test_a_silent_instrument_raises_the_time_out_error(rm, sim):
    sim.add_instrument().behaviour(kivocom.Behaviour(silent=True))
    with open_sim(rm, sim, timeout=100) as meter:
        started = time.monotonic()
        with pytest.raises(VisaIOError) as caught:
            meter.query("PV")
        assert caught.value.error_code == StatusCode.error_timeout
        assert time.monotonic() - started < 1


def test_an_immediate_time_out_takes_what_waits_and_close_ends_an_endless_read(rm, sim):
    sim.add_instrument(replies={"ID": "meter"}).behaviour(QUICK)
    meter = open_sim(rm, sim)
    meter.write("ID")
    assert sim.wait_for_received("ID\r\n")
    time.sleep(0.05)
    meter.timeout = 0
    assert meter.read() == "meter"
    meter.timeout = None  # endless
    failures = []

    def endless_read() -> None:
        try:
            meter.read()
        except VisaIOError as error:
            failures.append(error.error_code)

    reader = threading.Thread(target=endless_read)
    reader.start()
    time.sleep(0.1)
    meter.close()
    reader.join(2)
    assert not reader.is_alive() and failures == [StatusCode.error_abort]


def test_retries_send_the_last_message_again(rm, sim):
    instrument = sim.add_instrument().behaviour(kivocom.Behaviour(silent=True))
    with open_sim(rm, sim, "?retries=3", timeout=80) as meter:
        with pytest.raises(VisaIOError):
            meter.query("PV")
        assert sim.received == b"PV\r\n" * 3
        instrument.behaviour(QUICK)
        assert meter.query("PV") == "+0023.45"


def test_omega_style_frames_each_message(rm, sim):
    sim.add_instrument("omega", address="01", replies={"PV": "+0100.00"}).behaviour(QUICK)
    with open_sim(rm, sim, "?style=omega&address=01") as meter:
        assert (meter.data_bits, meter.parity) == (7, pyvisa.constants.Parity.even)
        assert meter.query("PV") == "+0100.00"
    assert sim.received == b"\x040011PV\x05\r"


def test_switch_route_is_taken_once_at_open(rm, sim):
    sim.use_smart_switch("bb4")
    sim.add_instrument(switch_port="A", replies={"ID": "meter A"}).behaviour(QUICK)
    sim.add_instrument(switch_port="C", replies={"ID": "meter C"}).behaviour(QUICK)
    with open_sim(rm, sim, "?switch=bb4&switch_port=C") as meter:
        assert [meter.query("ID") for _ in range(2)] == ["meter C", "meter C"]
        assert sim.connected_switch_port == "C"
    assert sim.wait_for_received(b"\x1b\x02\x04")  # released at close
    assert sim.received.count(b"\x1b\x02C\r") == 1  # selected once, not before every message


def test_line_settings_kivocom_cannot_honour_are_refused(rm, sim):
    sim.add_instrument().behaviour(QUICK)
    with open_sim(rm, sim) as meter:
        for name, value in (("data_bits", 7), ("baud_rate", 1234), ("end_input", pyvisa.constants.SerialTermination.last_bit)):
            with pytest.raises(VisaIOError) as caught:
                setattr(meter, name, value)
            assert caught.value.error_code == StatusCode.error_nonsupported_attribute_state
        meter.baud_rate = 19200
        assert meter.baud_rate == 19200
        assert meter.query("PV") == "+0023.45"
        with pytest.raises(VisaIOError) as caught:
            meter.get_visa_attribute(pyvisa.constants.ResourceAttribute.asrl_break_length)
        assert caught.value.error_code == StatusCode.error_nonsupported_attribute


def test_operations_not_offered_raise_the_visa_error(rm, sim):
    with open_sim(rm, sim) as meter:
        for operation in (meter.lock_excl, meter.read_stb, meter.assert_trigger):
            with pytest.raises(VisaIOError) as caught:
                operation()
            assert caught.value.error_code == StatusCode.error_nonsupported_operation


def test_two_resources_at_once_each_keep_their_line(rm, renumber):
    with kivocom.Simulator() as one, kivocom.Simulator() as two:
        renumber(one, 102), renumber(two, 103)
        one.add_instrument(replies={"ID": "one"}).behaviour(QUICK)
        two.add_instrument(replies={"ID": "two"}).behaviour(QUICK)
        with open_sim(rm, one) as a, open_sim(rm, two) as b:
            a.write("ID")
            b.write("ID")
            assert (a.read(), b.read()) == ("one", "two")
            answers = []
            worker = threading.Thread(target=lambda: answers.append(b.query("ID")))  # another thread
            worker.start()
            worker.join()
            assert answers == ["two"]


def test_opening_a_missing_or_held_port_or_using_a_closed_session(rm, sim):
    with pytest.raises(VisaIOError) as caught:
        rm.open_resource("ASRL/dev/kivocom-no-such-device::INSTR")
    assert caught.value.error_code == StatusCode.error_resource_not_found
    assert isinstance(caught.value.__cause__, kivocom.Error)
    holder = subprocess.Popen([sys.executable, "-c", HOLD_PORT, sim.device], stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline().strip() == "holding"
        with pytest.raises(VisaIOError) as caught:
            rm.open_resource(f"ASRL{sim.device}::INSTR")
        assert caught.value.error_code == StatusCode.error_resource_busy  # held by another program
    finally:
        holder.terminate()
        holder.wait(5)
    meter = open_sim(rm, sim)
    meter.close()
    with pytest.raises(pyvisa.errors.InvalidSession):
        meter.query("PV")


def test_an_unplugged_line_raises_connection_lost(rm, sim):
    sim.add_instrument().behaviour(kivocom.Behaviour(reply_delay_us=1000, paced=False, unplug_after=3))
    with open_sim(rm, sim, timeout=1000) as meter:
        with pytest.raises(VisaIOError) as caught:
            meter.query("PV")
        assert caught.value.error_code == StatusCode.error_connection_lost
        assert caught.value.__cause__.number == 8020
        with pytest.raises(VisaIOError) as again:
            meter.query("PV")
        assert again.value.error_code == StatusCode.error_connection_lost


def _free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_rfc2217_port_through_ser2net(rm, sim, tmp_path: Path):
    ser2net = shutil.which("ser2net") or ("/usr/sbin/ser2net" if Path("/usr/sbin/ser2net").exists() else None)
    if ser2net is None:
        pytest.skip("ser2net is not installed")
    sim.add_instrument(replies={"ID": "behind ser2net"}).behaviour(QUICK)
    port = _free_port()
    config = tmp_path / "ser2net.yaml"
    config.write_text(f"connection: &lab\n  accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,{port}\n"
                      f"  connector: serialdev,{sim.device},9600n81,local\n  options:\n    chardelay: false\n")
    server = subprocess.Popen([ser2net, "-n", "-u", "-c", str(config), "-P", str(tmp_path / "pid")])
    try:
        deadline = time.monotonic() + 5
        while socket.socket().connect_ex(("127.0.0.1", port)) != 0:
            assert time.monotonic() < deadline, "ser2net did not take connections"
            time.sleep(0.05)
        with rm.open_resource(f"ASRLrfc2217://127.0.0.1:{port}::INSTR", read_termination="\r\n",
                              timeout=2000) as meter:
            assert meter.query("ID") == "behind ser2net"
    finally:
        server.terminate()
        server.wait(5)
