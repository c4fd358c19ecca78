# SPDX-License-Identifier: MIT
"""Simulated instruments from definition files: what a device answers, files that cannot be
served, the same PyVISA program through @kivocom and @py, and pymeasure's razorbillRP100 driver
unchanged over @kivocom."""
from __future__ import annotations

from pathlib import Path

import pytest

yaml = pytest.importorskip("yaml")

import kivocom  # noqa: E402
from kivocom import definitions  # noqa: E402

HERE = Path(__file__).parent / "definitions"
QUICK = kivocom.Behaviour(reply_delay_us=1000, paced=False)


@pytest.fixture
def sim(sim, renumber):
    """Resource names reach COM 101, not the simulator's own number."""
    return renumber(sim, 101)


@pytest.fixture
def generator() -> definitions.Device:
    return definitions.load(HERE / "generator.yaml")["ASRL1::INSTR"]


def test_a_device_answers_as_its_definition_says(generator):
    rows = [  # (message, answer; None is silence)
        ("?IDN", "LSG Serial #1234"),
        ("!RST", None),
        ("?FREQ", "100.00"),
        ("!FREQ 12.5", "OK"),
        ("?FREQ", "12.50"),
        ("!FREQ 0.5", "FREQ_ERROR"),  # below min: the setter's own error, value kept
        ("!FREQ abc", "ERROR"),  # no setter matches: the device's error
        ("?FREQ", "12.50"),
        ("!SHAPE SQUARE", "OK"),
        ("!SHAPE TRIANGLE", "ERROR"),  # not a valid value, no error of its own
        ("?SHAPE", "SQUARE"),
        ("!CH 3", None),  # a setter without answer
        ("!CH 3.5", "ERROR"),
        ("?CH", "3"),
        ("?UNKNOWN", "ERROR"),
    ]
    assert [(message, generator.answer(message)) for message, _ in rows] == rows


@pytest.mark.parametrize("text, problem", [
    ("devices: []", "no 'devices' section"),
    ("devices: {d: {dialogues: [{r: x}]}}", "device 'd'"),
    ("devices: {d: {eom: {ASRL INSTR: {q: \"\\n\"}}}}", "q must be"),
    ("devices: {d: {properties: {p: {specs: {type: complex}}}}}", "type 'complex'"),
    ("devices: {d: {properties: {p: {setter: {q: \"!P {} {}\"}}}}}", "exactly one value field"),
    ("devices: {d: {}}\nresources: {ASRL1::INSTR: {device: e}}", "names no device"),
    ("devices: {d: [unclosed", "line 1"),
])
def test_files_that_cannot_be_served_say_why(tmp_path, text, problem):
    path = tmp_path / "bad.yaml"
    path.write_text(text)
    with pytest.raises(definitions.DefinitionError, match=problem):
        definitions.load(path)


pyvisa = pytest.importorskip("pyvisa")


@pytest.fixture
def served(sim):
    definitions.serve(HERE / "generator.yaml", sim, "ASRL1::INSTR").behaviour(QUICK)
    return sim


def _session(backend: str, name: str) -> list[str]:
    rm = pyvisa.ResourceManager(backend)
    try:
        with rm.open_resource(name, read_termination="\n", write_termination="\r\n", timeout=500) as inst:
            answers = [inst.query(q) for q in ("?IDN", "?FREQ", "!FREQ 2500", "?FREQ", "!FREQ 0")]
            inst.write("!CH 2")
            answers.append(inst.query("?CH"))
            inst.write("!FREQ 100")
            answers.append(inst.read())
            return answers
    finally:
        rm.close()


def test_the_same_program_through_kivocom_and_pyvisa_py(served):
    expected = ["LSG Serial #1234", "100.00", "OK", "2500.00", "FREQ_ERROR", "2", "OK"]
    assert _session("@kivocom", f"ASRL{served.port}::INSTR") == expected
    pytest.importorskip("pyvisa_py")
    pytest.importorskip("serial")
    assert _session("@py", f"ASRL{served.device}::INSTR") == expected


def test_pymeasure_driver_reads_sets_and_raises(sim):
    pymeasure = pytest.importorskip("pymeasure.instruments.razorbill")
    definitions.serve(HERE / "rp100.yaml", sim).behaviour(QUICK)
    supply = pymeasure.razorbillRP100(f"ASRL{sim.port}::INSTR", visa_library="@kivocom", read_termination="\n",
                                      timeout=300)
    try:
        assert supply.id == "Razorbill,RP100,1234,1.0"
        assert (supply.output_1, supply.voltage_1) == (False, 0)
        supply.output_1 = True
        supply.voltage_1 = 12.5
        assert (supply.output_1, supply.voltage_1) == (True, 12.5)
        with pytest.raises(ValueError):
            supply.voltage_1 = 300  # the driver's own range check: nothing is sent
        supply.voltage_1 = 220  # in the driver's range, outside the instrument's
        assert supply.adapter.read().strip() == "-100,Command error"
        assert supply.voltage_1 == 12.5
        with pytest.raises(pyvisa.VisaIOError) as caught:
            supply.adapter.connection.read()  # nothing more to read
        assert caught.value.error_code == pyvisa.constants.StatusCode.error_timeout
    finally:
        supply.adapter.connection.close()
