# SPDX-License-Identifier: MIT
"""Fixtures: a simulator per test, and the kivocom tool when the build has one."""
from __future__ import annotations

import os
import shutil
from pathlib import Path
from typing import Callable, Iterator

import pytest

import kivocom


@pytest.fixture
def sim() -> Iterator[kivocom.Simulator]:
    with kivocom.Simulator() as simulator:
        yield simulator


@pytest.fixture
def renumber() -> Callable[[kivocom.Simulator, int], kivocom.Simulator]:
    """Maps a simulator to another COM number instead of its own: the numbers simulators take
    count up from 240 through a whole run and pass 256, beyond the COM numbers resources can name."""

    def renumbered(simulator: kivocom.Simulator, number: int) -> kivocom.Simulator:
        kivocom.map_port(simulator.port, "")
        simulator.port = number
        kivocom.map_port(number, simulator.device)
        return simulator

    return renumbered


@pytest.fixture
def quick() -> kivocom.Behaviour:
    """Answers after 1 ms, unpaced: exchanges take a few milliseconds."""
    return kivocom.Behaviour(reply_delay_us=1000, paced=False)


@pytest.fixture
def tool() -> str:
    """The kivocom command-line tool: KIVOCOM_TOOL, else the one on PATH."""
    path = os.environ.get("KIVOCOM_TOOL") or shutil.which("kivocom")
    if not path or not Path(path).exists():
        pytest.skip("the kivocom tool is not built (set KIVOCOM_TOOL)")
    return path
