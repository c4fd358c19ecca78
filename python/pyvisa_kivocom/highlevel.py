# SPDX-License-Identifier: MIT
"""The VISA library of the ``@kivocom`` backend: serial resources (ASRL INSTR) over kivocom's
lines, smart switches and simulator, for ``pyvisa.ResourceManager("@kivocom")``."""
from __future__ import annotations

import random
from typing import Any, Iterable, NoReturn, Optional

from pyvisa import constants, errors, rname
from pyvisa.constants import ResourceAttribute as A, SerialTermination, StatusCode
from pyvisa.highlevel import ResourceInfo, VisaLibraryBase
from pyvisa.typing import VISARMSession, VISASession

import kivocom

from . import resource_names
from .serial_session import SerialSession, VisaFailure

_RM_SESSION = VISARMSession(1)
_TERMINATIONS = (SerialTermination.none, SerialTermination.termination_char)


class KivocomVisaLibrary(VisaLibraryBase):
    """PyVISA's library interface for serial resources reached through kivocom."""

    @staticmethod
    def get_library_paths() -> Iterable[str]:
        return ("kivocom",)

    @staticmethod
    def get_debug_info() -> dict[str, str]:
        return {"kivocom": kivocom.version()}

    def _init(self) -> None:
        self.sessions: dict[int, SerialSession] = {}

    # ---- Resource manager ----

    def open_default_resource_manager(self) -> tuple[VISARMSession, StatusCode]:
        return _RM_SESSION, self.handle_return_value(None, StatusCode.success)

    def list_resources(self, session: VISARMSession, query: str = "?*::INSTR") -> tuple[str, ...]:
        names = [resource_names.SerialResource(port.number).name for port in kivocom.list_ports()]
        return rname.filter(names, query)

    def parse_resource_extended(self, session: VISARMSession, resource_name: str) -> tuple[ResourceInfo, StatusCode]:
        try:
            resource = resource_names.parse(resource_name)
        except resource_names.ResourceNameError:
            return (ResourceInfo(constants.InterfaceType.unknown, 0, None, None, None),
                    StatusCode.error_invalid_resource_name)
        return (ResourceInfo(constants.InterfaceType.asrl, resource.board, "INSTR", resource.name,
                             resource.alias or None), StatusCode.success)

    def open(self, session: VISARMSession, resource_name: str,
             access_mode: constants.AccessModes = constants.AccessModes.no_lock,
             open_timeout: int = constants.VI_TMO_IMMEDIATE) -> tuple[VISASession, StatusCode]:
        try:
            resource = resource_names.parse(resource_name)
        except resource_names.ResourceNameError as error:
            return self._fail(None, StatusCode.error_invalid_resource_name, error)
        try:
            opened = SerialSession(resource)
        except VisaFailure as failure:
            self._raise(None, failure)
        handle = self._new_handle()
        self.sessions[handle] = opened
        return VISASession(handle), self.handle_return_value(handle, StatusCode.success)

    def _new_handle(self) -> int:
        while True:
            handle = random.randint(1_000_000, 1_000_000_000)
            if handle not in self.sessions:
                return handle

    def close(self, session: Any) -> StatusCode:
        if session == _RM_SESSION:
            for opened in list(self.sessions):
                self.close(opened)
            return self.handle_return_value(None, StatusCode.success)
        opened = self.sessions.pop(session, None)
        if opened is None:
            return self.handle_return_value(session, StatusCode.error_invalid_object)
        opened.close()
        return self.handle_return_value(session, StatusCode.success)

    # ---- Input and output ----

    def write(self, session: VISASession, data: bytes) -> tuple[int, StatusCode]:
        return self._call(session, lambda s: (s.write(data), StatusCode.success), 0)

    def read(self, session: VISASession, count: int) -> tuple[bytes, StatusCode]:
        return self._call(session, lambda s: s.read(count), b"")

    def clear(self, session: VISASession) -> StatusCode:
        return self._call(session, lambda s: (s.clear(), StatusCode.success), None)

    def flush(self, session: VISASession, mask: constants.BufferOperation) -> StatusCode:
        discards = (constants.BufferOperation.discard_read_buffer | constants.BufferOperation.discard_read_buffer_no_io
                    | constants.BufferOperation.discard_receive_buffer | constants.BufferOperation.discard_receive_buffer2)
        return self._call(session, lambda s: (s.clear() if mask & discards else None, StatusCode.success), None)

    # ---- Events: none are offered; PyVISA switches them off when it closes a resource ----

    def disable_event(self, session: VISASession, event_type: constants.EventType,
                      mechanism: constants.EventMechanism) -> StatusCode:
        return self._call(session, lambda s: (None, StatusCode.success), None)

    def discard_events(self, session: VISASession, event_type: constants.EventType,
                       mechanism: constants.EventMechanism) -> StatusCode:
        return self._call(session, lambda s: (None, StatusCode.success), None)

    # ---- Operations a serial line through kivocom does not offer: VI_ERROR_NSUP_OPER ----

    def lock(self, session: VISASession, lock_type: constants.Lock, timeout: int,
             requested_key: Optional[str] = None) -> tuple[str, StatusCode]:
        return self._unsupported(session)

    def unlock(self, session: VISASession) -> StatusCode:
        return self._unsupported(session)

    def read_stb(self, session: VISASession) -> tuple[int, StatusCode]:
        return self._unsupported(session)

    def assert_trigger(self, session: VISASession, protocol: constants.TriggerProtocol) -> StatusCode:
        return self._unsupported(session)

    def enable_event(self, session: VISASession, event_type: constants.EventType, mechanism: constants.EventMechanism,
                     context: Any = None) -> StatusCode:
        return self._unsupported(session)

    def _unsupported(self, session: VISASession) -> Any:
        def refuse(_: SerialSession) -> Any:
            raise VisaFailure(StatusCode.error_nonsupported_operation)

        return self._call(session, refuse, None)

    # ---- Attributes ----

    def get_attribute(self, session: VISASession, attribute: A) -> tuple[Any, StatusCode]:
        return self._call(session, lambda s: _get(s, attribute), 0)

    def set_attribute(self, session: VISASession, attribute: A, attribute_state: Any) -> StatusCode:
        return self._call(session, lambda s: (None, _set(s, attribute, attribute_state)), None)

    # ---- Status ----

    def _call(self, session: VISASession, operation: Any, failed: Any) -> Any:
        """Runs `operation` on the session and turns its status into PyVISA's return value; a
        failure raises VisaIOError with kivocom's error as its cause."""
        opened = self.sessions.get(session)
        if opened is None:
            return self._fail(session, StatusCode.error_invalid_object)
        try:
            value, status = operation(opened)
        except VisaFailure as failure:
            self._raise(session, failure)
        status = self.handle_return_value(session, status)
        return status if failed is None else (value, status)

    def _raise(self, session: Optional[VISASession], failure: VisaFailure) -> NoReturn:
        try:
            self.handle_return_value(session, failure.status)
        except errors.VisaIOError as error:
            raise error from failure.__cause__
        raise AssertionError("a failure status always raises")

    def _fail(self, session: Optional[VISASession], status: StatusCode, cause: Optional[Exception] = None) -> Any:
        failure = VisaFailure(status)
        failure.__cause__ = cause
        self._raise(session, failure)


def _get(s: SerialSession, attribute: A) -> tuple[Any, StatusCode]:
    getters = {
        A.timeout_value: lambda: s.timeout_ms,
        A.termchar: lambda: s.termchar,
        A.termchar_enabled: lambda: s.termchar_enabled,
        A.send_end_enabled: lambda: s.send_end,
        A.suppress_end_enabled: lambda: False,
        A.asrl_end_in: lambda: s.end_in,
        A.asrl_end_out: lambda: s.end_out,
        A.asrl_baud_rate: lambda: s.baud_rate,
        A.asrl_data_bits: lambda: s.line_setting(A.asrl_data_bits),
        A.asrl_parity: lambda: s.line_setting(A.asrl_parity),
        A.asrl_stop_bits: lambda: s.line_setting(A.asrl_stop_bits),
        A.asrl_flow_control: lambda: constants.ControlFlow.none,
        A.asrl_avalaible_number: s.bytes_available,
        A.resource_name: lambda: s.resource.name,
        A.interface_type: lambda: constants.InterfaceType.asrl,
        A.interface_number: lambda: s.resource.board,
        A.resource_class: lambda: "INSTR",
    }
    getter = getters.get(attribute)
    if getter is None:
        return 0, StatusCode.error_nonsupported_attribute
    return getter(), StatusCode.success


def _set(s: SerialSession, attribute: A, value: Any) -> StatusCode:
    if attribute == A.timeout_value:
        s.timeout_ms = constants.VI_TMO_INFINITE if value is None else int(value)
    elif attribute == A.termchar:
        s.termchar = _byte(value)
    elif attribute in (A.termchar_enabled, A.send_end_enabled):
        setattr(s, "termchar_enabled" if attribute == A.termchar_enabled else "send_end", bool(value))
    elif attribute in (A.asrl_end_in, A.asrl_end_out):
        if value not in _TERMINATIONS:
            raise VisaFailure(StatusCode.error_nonsupported_attribute_state)
        setattr(s, "end_in" if attribute == A.asrl_end_in else "end_out", SerialTermination(value))
    elif attribute == A.asrl_baud_rate:
        s.set_baud_rate(value)
    elif attribute in (A.asrl_data_bits, A.asrl_parity, A.asrl_stop_bits, A.asrl_flow_control):
        current = constants.ControlFlow.none if attribute == A.asrl_flow_control else s.line_setting(attribute)
        if int(value) != int(current):
            raise VisaFailure(StatusCode.error_nonsupported_attribute_state)
    else:
        return StatusCode.error_nonsupported_attribute
    return StatusCode.success


def _byte(value: Any) -> int:
    number = int(value)
    if not 0 <= number <= 255:
        raise VisaFailure(StatusCode.error_nonsupported_attribute_state)
    return number
