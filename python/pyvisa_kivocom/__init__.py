# SPDX-License-Identifier: MIT
"""kivocom as a PyVISA backend: ``pyvisa.ResourceManager("@kivocom")`` opens serial resources
(``ASRL3::INSTR``, ``ASRL/dev/ttyUSB0::INSTR``, ``ASRLrfc2217://host:port::INSTR``, the alias
``COM3``) over kivocom's lines, smart switches and simulator::

    import pyvisa
    rm = pyvisa.ResourceManager("@kivocom")
    meter = rm.open_resource("ASRL3?switch=bb4&switch_port=C::INSTR", read_termination="\\r\\n")
    print(meter.query("*IDN?"))
"""
from .highlevel import KivocomVisaLibrary

WRAPPER_CLASS = KivocomVisaLibrary

__all__ = ["KivocomVisaLibrary", "WRAPPER_CLASS"]
