# SPDX-License-Identifier: MIT
"""Simulated instruments from definition files in pyvisa-sim's YAML dialect (``devices`` with
``eom``, ``error``, ``dialogues`` and ``properties``; ``resources`` naming a device per
resource), played by kivocom's simulator on a pseudo-terminal::

    with kivocom.Simulator() as sim:
        kivocom.definitions.serve("instruments.yaml", sim, "ASRL1::INSTR")
        # now ASRL{sim.port}::INSTR through @kivocom, or ASRL{sim.device}::INSTR through @py

``python3 -m kivocom.definitions FILE [RESOURCE_OR_DEVICE]`` plays one until interrupted and
prints its device. Needs PyYAML (Debian's python3-yaml)."""
from __future__ import annotations

import os
from typing import Any, Optional, Union

from .dialogues import DefinitionError, Device, MessagePattern, Property, specs_from
from .simulator import Instrument, Simulator

_INTERFACE = "ASRL INSTR"

__all__ = ["DefinitionError", "Device", "load", "serve"]


def load(path: Union[str, os.PathLike]) -> dict[str, Device]:
    """The devices of definition file `path`, by name and by each resource name that names
    them; raises DefinitionError for a file that cannot be read or served."""
    try:
        import yaml
    except ImportError as error:
        raise DefinitionError("definition files need PyYAML (apt-get install python3-yaml)") from error
    try:
        with open(path, encoding="utf-8") as file:
            document = yaml.safe_load(file)
    except (OSError, yaml.YAMLError) as error:
        raise DefinitionError(f"{os.fspath(path)}: {error}") from error
    return _devices(document, os.fspath(path))


def _devices(document: Any, path: str) -> dict[str, Device]:
    if not isinstance(document, dict) or not isinstance(document.get("devices"), dict):
        raise DefinitionError(f"{path}: no 'devices' section")
    devices: dict[str, Device] = {}
    for name, entry in document["devices"].items():
        try:
            devices[str(name)] = _device(str(name), entry or {})
        except (DefinitionError, TypeError, ValueError, AttributeError, KeyError) as error:
            raise DefinitionError(f"{path}: device {name!r}: {error}") from error
    for resource, entry in (document.get("resources") or {}).items():
        target = (entry or {}).get("device") if isinstance(entry, dict) else None
        if target not in devices:
            raise DefinitionError(f"{path}: resource {resource!r} names no device of the file")
        devices[str(resource)] = devices[target]
    return devices


def _device(name: str, entry: dict) -> Device:
    query_end, answer_end = _ends(entry.get("eom") or {})
    device = Device(name, command_error=_command_error(entry.get("error")), query_end=query_end,
                    answer_end=answer_end)
    for dialogue in entry.get("dialogues") or []:
        device.dialogues[str(dialogue["q"])] = None if dialogue.get("r") is None else str(dialogue["r"])
    for prop_name, prop in (entry.get("properties") or {}).items():
        device.properties.append(_property(str(prop_name), prop))
    return device


def _ends(eom: dict) -> tuple[str, str]:
    ends = eom.get(_INTERFACE) or {}
    query_end, answer_end = str(ends.get("q", "\r\n")), str(ends.get("r", "\r\n"))
    # The simulator cuts what it hears into messages at CR and drops an LF that follows.
    if query_end not in ("\r", "\r\n"):
        raise DefinitionError(f"eom of {_INTERFACE}: q must be \"\\r\" or \"\\r\\n\" (got {query_end!r})")
    return query_end, answer_end


def _command_error(error: Any) -> Optional[str]:
    if error is None or isinstance(error, str):
        return error
    return (error.get("response") or {}).get("command_error")


def _property(name: str, entry: dict) -> Property:
    specs = specs_from(name, entry.get("specs"))
    getter = entry.get("getter")
    setter = entry.get("setter")
    default = entry.get("default")
    return Property(
        name, specs.check(default) if default is not None else None, specs,
        (str(getter["q"]), str(getter["r"])) if getter else None,
        (MessagePattern(str(setter["q"])), _optional(setter.get("r")), _optional(setter.get("e"))) if setter else None)


def _optional(text: Any) -> Optional[str]:
    return None if text is None else str(text)


def serve(definition: Union[str, os.PathLike, dict[str, Device]], simulator: Simulator, device: Optional[str] = None,
          switch_port: str = "") -> Instrument:
    """Plays `device` (a device or resource name of the file; the first device when None) of
    `definition` (a file or what load() gave) on `simulator`, behind `switch_port` when the
    simulator has a smart switch. Returns the simulated instrument (for its behaviour)."""
    devices = definition if isinstance(definition, dict) else load(definition)
    if not devices:
        raise DefinitionError("the definition holds no device")
    chosen = devices[device] if device is not None and device in devices else None
    if chosen is None and device is not None:
        raise DefinitionError(f"no device or resource {device!r}; the file has {', '.join(devices)}")
    chosen = chosen or next(iter(devices.values()))
    instrument = simulator.add_instrument("kivo", switch_port=switch_port)
    instrument.default_reply(None)
    instrument.line_end(chosen.answer_end)
    instrument.answer_with(chosen.answer)
    return instrument


def _main(arguments: list[str]) -> int:
    import argparse
    import signal

    from .simulator import Behaviour

    parser = argparse.ArgumentParser(prog="python3 -m kivocom.definitions",
                                     description="Plays an instrument of a definition file on a pseudo-terminal.")
    parser.add_argument("file")
    parser.add_argument("device", nargs="?", help="a device or resource name of the file (default: the first)")
    parser.add_argument("--reply-delay-us", type=int, default=-1, help="answer delay (default: 10 ms or more)")
    parser.add_argument("--baud", type=int, default=9600, help="line rate for pacing answers (default 9600)")
    options = parser.parse_args(arguments)
    stop = {signal.SIGINT, signal.SIGTERM}
    signal.pthread_sigmask(signal.SIG_BLOCK, stop)  # the simulator's thread inherits the mask
    with Simulator(options.baud) as simulator:
        instrument = serve(options.file, simulator, options.device)
        instrument.behaviour(Behaviour(reply_delay_us=options.reply_delay_us))
        print(simulator.device, flush=True)
        signal.sigwait(stop)
    return 0


if __name__ == "__main__":
    import sys

    sys.exit(_main(sys.argv[1:]))
