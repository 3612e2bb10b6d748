"""Virtual race clocks of the stand-in ClockLink (its CLV_ functions), for
tests and scripts that drive a clock without hardware.

    with VirtualClock(sk, KIND_M) as clock:
        sk.sk_connect(clock.handle)
        print(sk.sk_get_time(clock.handle))
"""
from __future__ import annotations

import ctypes
import os
import sys
from datetime import datetime
from typing import Optional

from ._runtime import Binding, Date, Hex, _U32, _bytes_in, _hex_in, _ole_in, _ole_out

KIND_M, KIND_S, KIND_H = 1, 2, 3
FAULT_CLEAR, FAULT_TAMPER, FAULT_CUT, FAULT_DELAY, FAULT_FAIL = 0, 1, 2, 3, 4

ERR_NO_CHANNEL = 6
ERR_NOT_AUTHENTICATED = 129
ERR_BAD_PROOF = 130
ERR_REPLAY = 131
ERR_NOT_FOUND = 133
ERR_BAD_STATE = 135

_SIGNATURES = {
    "CLV_Open": (_U32, (ctypes.c_int,)),
    "CLV_Close": (ctypes.c_int, (_U32,)),
    "CLV_SetPassword": (ctypes.c_int, (_U32, ctypes.c_char_p)),
    "CLV_SetClockTime": (ctypes.c_int, (_U32, ctypes.c_double)),
    "CLV_GetClockTime": (ctypes.c_int, (_U32, ctypes.POINTER(ctypes.c_double))),
    "CLV_FreezeClock": (ctypes.c_int, (_U32, ctypes.c_int)),
    "CLV_RecordArrival": (ctypes.c_int, (_U32, _U32, ctypes.c_char_p, ctypes.c_double)),
    "CLV_GetArrivalCount": (ctypes.c_int, (_U32, _U32, ctypes.POINTER(_U32))),
    "CLV_GetStoredRecord": (ctypes.c_int, (_U32, _U32, _U32, ctypes.c_char_p,
                                           ctypes.POINTER(ctypes.c_char))),
    "CLV_GetMaskedRecord": (ctypes.c_int, (_U32, _U32, _U32, ctypes.POINTER(ctypes.c_char))),
    "CLV_SetFault": (ctypes.c_int, (_U32, ctypes.c_int, _U32)),
    "CLV_ErrorText": (ctypes.c_char_p, (ctypes.c_int,)),
}


class VirtualClockError(Exception):
    """A CLV_ function refused; code is its CLV_ERR_ code."""

    def __init__(self, function: str, code: int, text: str):
        self.function, self.code = function, code
        super().__init__(f"{function}: {text} ({code})")


def _functions(binding: Binding):
    lib = binding.clocklink
    if not getattr(lib, "_clv_ready", False):
        for name, (restype, argtypes) in _SIGNATURES.items():
            fn = getattr(lib, name)
            fn.restype, fn.argtypes = restype, argtypes
        lib._clv_ready = True
    return lib


class VirtualClock:
    """One virtual clock of a kind (KIND_M, KIND_S, KIND_H), closed on exit."""

    def __init__(self, binding: Binding, kind: int = KIND_M):
        self._lib = _functions(binding)
        self.handle: int = self._lib.CLV_Open(kind)
        if self.handle == 0:
            raise VirtualClockError("CLV_Open", ERR_NO_CHANNEL, "no virtual clock opened")

    def _check(self, function: str, code: int) -> None:
        if code != 0:
            raise VirtualClockError(function, code, self._lib.CLV_ErrorText(code).decode())

    def close(self) -> None:
        if self.handle:
            self._lib.CLV_Close(self.handle)
            self.handle = 0

    def __enter__(self) -> "VirtualClock":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    def set_password(self, password: Optional[str]) -> None:
        """The password the clock checks at authentication (None: none)."""
        self._check("CLV_SetPassword", self._lib.CLV_SetPassword(
            self.handle, None if password is None else password.encode("latin-1")))

    @property
    def time(self) -> Optional[datetime]:
        """The clock's running time; settable."""
        date = ctypes.c_double()
        self._check("CLV_GetClockTime", self._lib.CLV_GetClockTime(self.handle, ctypes.byref(date)))
        return _ole_out(date.value)

    @time.setter
    def time(self, value: Date) -> None:
        self._check("CLV_SetClockTime", self._lib.CLV_SetClockTime(self.handle, _ole_in(value)))

    def freeze(self, frozen: bool = True) -> None:
        """Stops (or restarts) the clock's own time."""
        self._check("CLV_FreezeClock", self._lib.CLV_FreezeClock(self.handle, int(frozen)))

    def record_arrival(self, race_index: int, ring: Hex, date: Date) -> None:
        """A bird with ring number ring arrived at date."""
        self._check("CLV_RecordArrival",
                    self._lib.CLV_RecordArrival(self.handle, race_index, _hex_in(ring), _ole_in(date)))

    def arrival_count(self, race_index: int = 0) -> int:
        count = _U32()
        self._check("CLV_GetArrivalCount",
                    self._lib.CLV_GetArrivalCount(self.handle, race_index, ctypes.byref(count)))
        return count.value

    def stored_record(self, race_index: int, record_index: int, v_key: bytes) -> str:
        """The arrival as the host stores it: 96 hex digits, sealed over v_key (8 bytes)."""
        text = ctypes.create_string_buffer(97)
        self._check("CLV_GetStoredRecord", self._lib.CLV_GetStoredRecord(
            self.handle, race_index, record_index, _bytes_in(v_key, 8, "v_key"), text))
        return text.value.decode("ascii")

    def masked_record(self, race_index: int, record_index: int) -> str:
        """The arrival as a 24-byte masked record: 48 hex digits."""
        text = ctypes.create_string_buffer(49)
        self._check("CLV_GetMaskedRecord",
                    self._lib.CLV_GetMaskedRecord(self.handle, race_index, record_index, text))
        return text.value.decode("ascii")

    def set_fault(self, fault: int, value: int = 0) -> None:
        """Arms a fault (FAULT_) for the next exchange."""
        self._check("CLV_SetFault", self._lib.CLV_SetFault(self.handle, fault, value))


def available(binding: Binding) -> bool:
    """Whether this ClockLink opens virtual clocks."""
    lib = _functions(binding)
    handle = lib.CLV_Open(KIND_M)
    if handle:
        lib.CLV_Close(handle)
    return handle != 0


# ---- Virtual ring reader (the stand-in RingReader's RRV_ functions) ------------

_READER_SIGNATURES = {
    "RRV_Open": (_U32, ()),
    "RRV_Close": (None, (_U32,)),
    "RRV_PutTag": (ctypes.c_int, (_U32, ctypes.c_char_p)),
    "RRV_TakeTag": (ctypes.c_int, (_U32,)),
}


def _reader_functions(binding: Binding):
    lib = getattr(binding, "_ringreader", None)
    if lib is None:
        name = "RingReader.dll" if sys.platform == "win32" else "libringreader.so"
        folder = os.path.dirname(binding.library_path)
        path = os.environ.get("SKYLARK_RINGREADER") or (os.path.join(folder, name) if folder else name)
        lib = ctypes.WinDLL(path) if sys.platform == "win32" else ctypes.CDLL(path)
        for fname, (restype, argtypes) in _READER_SIGNATURES.items():
            fn = getattr(lib, fname)
            fn.restype, fn.argtypes = restype, argtypes
        binding._ringreader = lib
    return lib


class VirtualReader:
    """A virtual ring reader; its handle is the reader argument of the SKR_ methods."""

    def __init__(self, binding: Binding):
        self._lib = _reader_functions(binding)
        self.handle: int = self._lib.RRV_Open()

    def put_tag(self, uid: bytes) -> None:
        """Puts the tag with this 4-byte UID into the field."""
        if not self._lib.RRV_PutTag(self.handle, _bytes_in(uid, 4, "uid")):
            raise VirtualClockError("RRV_PutTag", 0, "the field already holds a tag")

    def take_tag(self) -> None:
        if not self._lib.RRV_TakeTag(self.handle):
            raise VirtualClockError("RRV_TakeTag", 0, "the field is empty")

    def close(self) -> None:
        if self.handle:
            self._lib.RRV_Close(self.handle)
            self.handle = 0

    def __enter__(self) -> "VirtualReader":
        return self

    def __exit__(self, *exc) -> None:
        self.close()
