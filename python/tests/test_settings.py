# SPDX-License-Identifier: MIT
"""Settings files from Python: read by the kivocom tool, the program's own keys beside the port's,
and the port list."""
from __future__ import annotations

import subprocess

import pytest

import kivocom


def test_settings_saved_by_python_are_read_by_the_tool(tmp_path, tool):
    path = tmp_path / "meter.ini"
    with kivocom.open("COM7", baud=19200, style="azonix", timeout=1.5) as meter:
        meter.save(path, section="Meter")
    shown = subprocess.run([tool, "settings", "show", str(path), "--section", "Meter"], capture_output=True,
                           text=True, timeout=30)
    assert shown.returncode == 0, shown.stderr
    for expected in ("19200", "1500", "7"):
        assert expected in shown.stdout
    assert "azonix" in shown.stdout.lower() or "2" in shown.stdout


def test_program_keys_live_beside_the_port_section(tmp_path):
    path = tmp_path / "lab.ini"
    ini = kivocom.KivoINIFile(path, "Lab")
    ini.WriteString("Operator", "Ana")
    ini.WriteLong("Runs", 70000)
    port = kivocom.CCOMPort()
    port.MaxBaudRate = kivocom.EBaudRate.BAUD_921600
    port.BaudRate = kivocom.EBaudRate.BAUD_57600
    port.WriteToFile(ini, "", "Meter")
    ini.Section = "Lab"
    assert (ini.ReadString("Operator"), ini.ReadLong("Runs"), ini.ReadInteger("Runs")) == ("Ana", 70000, None)
    loaded = kivocom.CCOMPort()
    loaded.MaxBaudRate = kivocom.EBaudRate.BAUD_921600
    assert loaded.ReadFromFile(kivocom.KivoINIFile(path), "", "Meter")
    assert loaded.BaudRate == kivocom.EBaudRate.BAUD_57600
    with pytest.raises(kivocom.Error) as bad:
        ini.Section = "a]b"
    assert bad.value.number == 5 and bad.value.source.startswith("KivoINIFile")


def test_list_ports_shows_a_mapped_simulator(sim):
    ports = {p.number: p for p in kivocom.list_ports()}
    assert sim.port in ports and ports[sim.port].device_path == sim.device
