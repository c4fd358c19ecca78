# SPDX-License-Identifier: MIT
"""The faithful layer's members that the Pythonic one does not reach: pick lists through the
program's controls, the switch object, and integers that do not fit the library's types."""
from __future__ import annotations

import pytest

import kivocom


class Combo:
    def __init__(self):
        self.items, self.selected = [], None

    def clear(self): self.items.clear()
    def add(self, key, text, image): self.items.append([key, text, image, ""]); return len(self.items) - 1
    def set_tag(self, item, tag): self.items[item][3] = tag
    def set_selected(self, item, selected): self.selected = item if selected else self.selected


class Listbox:
    def __init__(self): self.items = []
    def clear(self): self.items.clear()
    def add_item(self, text): self.items.append([text, None])
    def new_index(self): return len(self.items) - 1
    def item_data(self, index, value): self.items[index][1] = value


def test_pick_lists_fill_the_programs_controls(sim):
    port = kivocom.CCOMPort()
    port.MinBaudRate, port.MaxBaudRate = kivocom.EBaudRate.BAUD_9600, kivocom.EBaudRate.BAUD_38400
    rates = Listbox()
    port.FillBaudRatesCombo(rates)
    assert rates.items == [["9600", 6], ["19200", 7], ["38400", 8]]
    combo = Combo()
    port.FillCOMPortsCombo(combo, sim.port)
    names = [text for _, text, _, _ in combo.items]
    assert any(f"COM{sim.port}" in name for name in names)
    assert combo.selected is not None and f"COM{sim.port}" in combo.items[combo.selected][1]


def test_a_failing_control_ends_the_fill_with_its_exception():
    class Refusing(Listbox):
        def add_item(self, text): raise KeyError(text)

    port = kivocom.CCOMPort()
    port.MinBaudRate, port.MaxBaudRate = kivocom.EBaudRate.BAUD_9600, kivocom.EBaudRate.BAUD_9600
    with pytest.raises(KeyError, match="9600"):
        port.FillBaudRatesCombo(Refusing())


def test_switch_object_forgets_a_parent_that_ended():
    sw, port = kivocom.CSmartSwitch(), kivocom.CCOMPort()
    assert (sw.Style, sw.NumPorts, sw.CurrentPort) == (kivocom.ESmartSwitchStyle.SSS_BB8PORT, 8, "")
    sw.Style = kivocom.ESmartSwitchStyle.SSS_BB4PORT
    sw.Parent = port
    assert sw.NumPorts == 4 and sw.Parent is port
    del port
    assert sw.Parent is None


def test_integers_that_do_not_fit_are_refused_not_cut(tmp_path):
    port = kivocom.CCOMPort()
    with pytest.raises(OverflowError):
        port.Retries = 70000
    assert port.Retries == 5
    with pytest.raises(OverflowError):
        kivocom.KivoINIFile(tmp_path / "a.ini", "S").WriteInteger("Count", 40000)
