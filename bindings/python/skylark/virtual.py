"""The stand-ins' virtual devices: race clocks behind our ClockLink (CLV_
functions) and ring readers behind our RingReader (RRV_), for tests and
scripts that drive a clock without hardware. Every stand-in function of
api/standins.json is here, its arguments checked as the exports' are.

    with VirtualClock(sk, KIND_M) as clock:          # or VirtualClock.load(sk, path)
        sk.sk_connect(clock.handle)
        print(sk.sk_get_time(clock.handle))
        clock.save("clock.json")
"""
from __future__ import annotations

import ctypes
import os
import sys
from datetime import datetime
from typing import NamedTuple, Optional

from . import _tables
from ._devices import ClockFunctions, ReaderFunctions
from ._runtime import (ArgumentError, Binding, Date, PathLike, _U32, _bytes_in, _number_in, _ole_in, _ole_out,
                       _path_in)
from ._tables import (CLV_ERR_BAD_PROOF as ERR_BAD_PROOF, CLV_ERR_BAD_STATE as ERR_BAD_STATE,  # noqa: F401
                      CLV_ERR_NO_CHANNEL as ERR_NO_CHANNEL, CLV_ERR_NOT_AUTHENTICATED as ERR_NOT_AUTHENTICATED,
                      CLV_ERR_NOT_FOUND as ERR_NOT_FOUND, CLV_ERR_REPLAY as ERR_REPLAY,
                      CLV_FAULT_CLEAR as FAULT_CLEAR, CLV_FAULT_CUT as FAULT_CUT, CLV_FAULT_DELAY as FAULT_DELAY,
                      CLV_FAULT_FAIL as FAULT_FAIL, CLV_FAULT_TAMPER as FAULT_TAMPER, CLV_KIND_H as KIND_H,
                      CLV_KIND_M as KIND_M, CLV_KIND_S as KIND_S, ERRORS)
from ._tables import *  # noqa: F401,F403 (every CLV_ and RRV_ constant)

class VirtualClockError(Exception):
    """A CLV_ (or RRV_) function refused. code: its CLV_ERR_ code (RRV_Save and
    RRV_Load: their RRV_ERR_ code; 0 for the other RRV_ functions, which give
    no code); name: the code's name; text: the words for it."""

    def __init__(self, function: str, code: int, text: str):
        self.function, self.code, self.text = function, code, text
        self.name = ERRORS.get(code, (None,))[0] if code else None
        super().__init__(f"{function}: {text}" + (f" ({self.name}, {code})" if code else ""))


def _declare(lib, library: str):
    """Sets the ctypes signature of every stand-in function of one library."""
    if not getattr(lib, "_standins_ready", False):
        for name, (owner, restype, argtypes) in _tables.STANDIN_SIGNATURES.items():
            if owner == library and hasattr(lib, name):
                fn = getattr(lib, name)
                fn.restype, fn.argtypes = restype, argtypes
        lib._standins_ready = True
    return lib


def _functions(binding: Binding):
    return _declare(binding.clocklink, "clocklink")


class LogEntry(NamedTuple):
    """One event-log entry of an M clock."""
    number: int
    type: int
    """its CLV_LOG_ type"""
    time: Optional[datetime]
    data: str
    """its data as hex text"""


class VirtualClock(ClockFunctions):
    """One virtual clock of a kind (KIND_M, KIND_S, KIND_H), closed on exit.
    VirtualClock.load(sk, path) opens one saved with save(). Every CLV_
    function on an open clock is a method (ClockFunctions: CLV_SetSeed ->
    set_seed, ...); the ones below read more naturally."""

    def __init__(self, binding: Binding, kind: int = KIND_M, *, _handle: Optional[int] = None):
        self._lib = _functions(binding)
        if _handle is not None:
            self.handle: int = _handle
            return
        if kind not in (KIND_M, KIND_S, KIND_H):
            raise ArgumentError("CLV_Open", "kind", f"must be KIND_M, KIND_S or KIND_H (1, 2, 3), got {kind!r}")
        self.handle = self._lib.CLV_Open(kind)
        if self.handle == 0:
            raise VirtualClockError("CLV_Open", ERR_NO_CHANNEL, "no virtual clock opened")

    @classmethod
    def load(cls, binding: Binding, path: PathLike) -> "VirtualClock":
        """The clock saved at path, its time run on by the time away (unless frozen);
        raises VirtualClockError (CLV_ERR_FILE_IO, _FILE_DAMAGED, _FILE_VERSION)
        whose text names the field of a refused file that is wrong."""
        lib = _functions(binding)
        err = ctypes.c_int(0)
        # CLV_LoadEx is CLV_Load that also says which field of a refused file is wrong.
        why = ctypes.create_string_buffer(256)
        handle = lib.CLV_LoadEx(_path_in("CLV_LoadEx", path), ctypes.byref(err), why, len(why))
        reason = why.value.decode("latin-1")
        if handle == 0:
            text = lib.CLV_ErrorText(err.value).decode("latin-1")
            raise VirtualClockError("CLV_Load", err.value, f"{text}: {reason}" if reason else text)
        return cls(binding, _handle=handle)

    def _check(self, function: str, code: int) -> None:
        if code != 0:
            raise VirtualClockError(function, code, self._lib.CLV_ErrorText(code).decode("latin-1"))

    def close(self) -> None:
        """Closes the clock (a live flight ends first)."""
        if self.handle:
            self._lib.CLV_Close(self.handle)
            self.handle = 0

    def __enter__(self) -> "VirtualClock":
        return self

    def __exit__(self, *exc) -> None:
        self.close()

    @property
    def kind(self) -> int:
        """KIND_M, KIND_S or KIND_H."""
        return self.get_kind()

    @property
    def time(self) -> Optional[datetime]:
        """The clock's running time; settable."""
        date = ctypes.c_double()
        self._check("CLV_GetClockTime", self._lib.CLV_GetClockTime(self.handle, ctypes.byref(date)))
        return _ole_out(date.value)

    @time.setter
    def time(self, value: Date) -> None:
        self._check("CLV_SetClockTime",
                    self._lib.CLV_SetClockTime(self.handle, _ole_in("CLV_SetClockTime", "date", value)))

    def freeze(self, frozen: bool = True) -> None:
        """Stops (or restarts) the clock's own time."""
        self._check("CLV_FreezeClock", self._lib.CLV_FreezeClock(self.handle, int(bool(frozen))))

    @property
    def speed(self) -> float:
        """Clock seconds per host second while the clock runs (1: the host's pace;
        60: an hour a minute; above 0 to MAX_SPEED); settable, the time going on
        from where it stands."""
        return self.get_speed()

    @speed.setter
    def speed(self, factor: float) -> None:
        self.set_speed(factor)

    def arrival_count(self, race_index: int = 0) -> int:
        count = _U32()
        f = "CLV_GetArrivalCount"
        self._check(f, self._lib.CLV_GetArrivalCount(self.handle, _number_in(f, "raceIndex", race_index, 16),
                                                     ctypes.byref(count)))
        return count.value

    def stored_record(self, race_index: int, record_index: int, v_key: bytes) -> str:
        """The arrival as the host stores it: 96 hex digits, sealed over v_key (8 bytes)."""
        text = ctypes.create_string_buffer(97)
        f = "CLV_GetStoredRecord"
        self._check(f, self._lib.CLV_GetStoredRecord(
            self.handle, _number_in(f, "raceIndex", race_index, 16), _number_in(f, "recordIndex", record_index, 16),
            _bytes_in(f, "vKey", v_key, 8), text))
        return text.value.decode("ascii")

    def masked_record(self, race_index: int, record_index: int) -> str:
        """The arrival as a 24-byte masked record: 48 hex digits."""
        text = ctypes.create_string_buffer(49)
        f = "CLV_GetMaskedRecord"
        self._check(f, self._lib.CLV_GetMaskedRecord(
            self.handle, _number_in(f, "raceIndex", race_index, 16), _number_in(f, "recordIndex", record_index, 16),
            text))
        return text.value.decode("ascii")

    def fly(self, race_index: int, liberation, release: Date = None, *args, loft: Optional[tuple] = None,
            seed: int = 0, mean_velocity: float = 1200.0, spread: float = 60.0,
            lost_share: float = 0.0, live: bool = False) -> "_tables.CLV_FlySummary":
        """Race day (CLV_Fly): every bird of the confirmed race flies from liberation
        (latitude, longitude in degrees) at release to the loft (default: the clock's
        site information) and is clocked in. Returns the summary: distance (m),
        first_arrival / last_arrival (OLE dates), fastest, slowest, mean_velocity
        (m/min), birds, arrived, lost, refused, refusal. CLV_Fly's own flat
        arguments (race_index, lib_lat, lib_lon, release, loft_lat, ...) work too.

        live=True (CLV_FlyLive): the same birds, each recorded by a thread of the
        clock's own when the clock's time reaches its arrival (the clock must be
        running; see speed). Returns at once with the summary of what is planned;
        live_flight tells the progress, wait_live() waits for the end, stop_live()
        ends it early."""
        if not isinstance(liberation, (tuple, list)):
            if live:
                return super().fly_live(race_index, liberation, release, *args)
            return super().fly(race_index, liberation, release, *args)
        lat, lon = (float(v) for v in liberation)
        loft_lat, loft_lon = ((float(v) for v in loft) if loft is not None
                              else (_tables.CLV_LOFT_FROM_SITE, _tables.CLV_LOFT_FROM_SITE))
        flight = super().fly_live if live else super().fly
        return flight(race_index, lat, lon, release, loft_lat, loft_lon, seed, mean_velocity, spread, lost_share)

    @property
    def live_flight(self) -> "_tables.CLV_LiveFlight":
        """The live flight's progress: running, planned, recorded, refused, refusal,
        pending, next_arrival (an OLE date)."""
        return self.get_live_flight()

    def wait_live(self, timeout: Optional[float] = None) -> bool:
        """Waits for the live flight to end (every arrival in, or stopped), at most
        timeout seconds (None: as long as it takes). True when it ended."""
        import time
        deadline = None if timeout is None else time.monotonic() + max(0.0, timeout)
        while True:
            # In short waits, so that Ctrl-C reaches Python between them.
            left = 0.25 if deadline is None else min(0.25, max(0.0, deadline - time.monotonic()))
            if not self.wait_live_flight(int(left * 1000)).running:
                return True
            if deadline is not None and time.monotonic() >= deadline:
                return False

    def stop_live(self) -> None:
        """Ends the live flight; the arrivals still to come are dropped."""
        self.stop_live_flight()

    def show(self) -> dict:
        """Everything the clock holds, as the clock file it would save (a dict of
        the readable form, every default written out)."""
        import json
        import tempfile
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "clock.json")
            self.save(path)
            with open(path, encoding="utf-8") as f:
                return json.load(f)

    def log_count(self) -> int:
        """M clock: the number of the newest event-log entry (0 for none)."""
        count = _U32()
        self._check("CLV_GetLogCount", self._lib.CLV_GetLogCount(self.handle, ctypes.byref(count)))
        return count.value

    def log_entry(self, log_no: int) -> LogEntry:
        """M clock: event-log entry log_no (from 1)."""
        kind, date, data = ctypes.c_ubyte(), ctypes.c_double(), ctypes.create_string_buffer(51)
        f = "CLV_GetLogEntry"
        self._check(f, self._lib.CLV_GetLogEntry(self.handle, _number_in(f, "logNo", log_no, 32), ctypes.byref(kind),
                                                 ctypes.byref(date), data))
        return LogEntry(log_no, kind.value, _ole_out(date.value), data.value.decode("ascii"))


def error_text(binding: Binding, code: int) -> str:
    """CLV_ErrorText: the stand-in's words for an error code."""
    return _functions(binding).CLV_ErrorText(_number_in("CLV_ErrorText", "code", code, 31)).decode("latin-1")


def available(binding: Binding) -> bool:
    """Whether this ClockLink opens virtual clocks."""
    lib = binding.clocklink
    if not hasattr(lib, "CLV_Open"):
        return False
    _functions(binding)
    handle = lib.CLV_Open(KIND_M)
    if handle:
        lib.CLV_Close(handle)
    return handle != 0


# ---- Virtual ring reader (the stand-in RingReader's RRV_ functions) ------------

# The reader's file results: code -> (name, words), as virtual_reader.h has them.
_READER_ERRORS = {
    _tables.RRV_ERR_FULL: ("RRV_ERR_FULL", "out of memory"),
    _tables.RRV_ERR_FILE_IO: ("RRV_ERR_FILE_IO", "the file cannot be read or written"),
    _tables.RRV_ERR_FILE_DAMAGED: ("RRV_ERR_FILE_DAMAGED", "not a reader file, damaged or truncated"),
    _tables.RRV_ERR_FILE_VERSION: ("RRV_ERR_FILE_VERSION", "saved by a newer version"),
    _tables.RRV_ERR_BAD_ARGUMENT: ("RRV_ERR_BAD_ARGUMENT", "an unknown reader, a null path"),
}


def _reader_failure(function: str, code: int, reason: str = "") -> VirtualClockError:
    """The error of a refused RRV_Save or RRV_Load, named by its RRV_ERR_ code."""
    name, text = _READER_ERRORS.get(code, (None, f"error {code}"))
    error = VirtualClockError(function, code, f"{text}: {reason}" if reason else text)
    error.name = name
    error.args = (f"{function}: {error.text}" + (f" ({name}, {code})" if name else f" ({code})"),)
    return error


def _reader_functions(binding: Binding):
    lib = getattr(binding, "_ringreader", None)
    if lib is None:
        path = binding.ringreader_path  # the RingReader loaded under the library
        lib = ctypes.WinDLL(path) if sys.platform == "win32" else ctypes.CDLL(path)
        _declare(lib, "ringreader")
        binding._ringreader = lib
    return lib


class VirtualReader(ReaderFunctions):
    """A virtual ring reader; its handle is the reader argument of the SKR_
    methods. VirtualReader.load(sk, path) opens one saved with save() (or a
    reader file written by hand). Every RRV_ function on an open reader is a
    method (ReaderFunctions); the ones below read more naturally.

        with VirtualReader(sk) as reader:
            reader.put_tag(bytes.fromhex("5A01C37E"))
            reader.write_tag_page(7, bytes.fromhex("480462FF"))   # a wrong check byte
            reader.save("reader.json")
    """

    def __init__(self, binding: Binding, *, _handle: Optional[int] = None):
        self._lib = _reader_functions(binding)
        self.handle: int = self._lib.RRV_Open() if _handle is None else _handle

    @classmethod
    def load(cls, binding: Binding, path: PathLike) -> "VirtualReader":
        """The reader saved at path: its tags, and the tag in the field (not
        activated). Raises VirtualClockError (code RRV_ERR_FILE_IO,
        _FILE_DAMAGED, _FILE_VERSION) whose text names the field of a
        refused file that is wrong."""
        lib = _reader_functions(binding)
        err = ctypes.c_int(0)
        why = ctypes.create_string_buffer(256)
        handle = lib.RRV_LoadEx(_path_in("RRV_LoadEx", path), ctypes.byref(err), why, len(why))
        if handle == 0:
            raise _reader_failure("RRV_Load", err.value, why.value.decode("latin-1"))
        return cls(binding, _handle=handle)

    def save(self, path: PathLike) -> None:
        """Saves every tag the reader holds and which one lies in the field to
        path, atomically; raises VirtualClockError (RRV_ERR_FILE_IO, ...)."""
        code = self._lib.RRV_Save(self.handle, _path_in("RRV_Save", path))
        if code != _tables.RRV_OK:
            raise _reader_failure("RRV_Save", code)

    def add_tag(self, uid: bytes) -> None:
        """Adds a new tag with factory memory under this 4-byte UID, outside the field."""
        if not self._lib.RRV_AddTag(self.handle, _bytes_in("RRV_AddTag", "uid4", uid, 4)):
            raise VirtualClockError("RRV_AddTag", 0, "the reader holds this UID already, or is full")

    def write_tag_page(self, page: int, data: bytes, uid: Optional[bytes] = None) -> None:
        """Writes 4 bytes straight into page 1 to 15 of a tag (uid None: the tag in
        the field), whatever they are: no activation, no write fault. Page 0, the
        UID, is never written."""
        f = "RRV_WriteTagPage"
        if not self._lib.RRV_WriteTagPage(self.handle, None if uid is None else _bytes_in(f, "uid4", uid, 4),
                                          _number_in(f, "page", page, 32), _bytes_in(f, "data4", data, 4)):
            raise VirtualClockError(f, 0, "no such tag, or not a page from 1 to 15")

    def show(self) -> dict:
        """Every tag the reader holds and the tag in the field, as the reader file
        it would save (a dict)."""
        import json
        import tempfile
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "reader.json")
            self.save(path)
            with open(path, encoding="utf-8") as f:
                return json.load(f)

    def _check(self, function: str, result: int) -> None:
        if not result:
            raise VirtualClockError(function, 0, "refused (unknown reader, no tag in the field, or no such tag, "
                                    "page or fault)")

    def put_tag(self, uid: bytes) -> None:
        """Puts the tag with this 4-byte UID into the field."""
        if not self._lib.RRV_PutTag(self.handle, _bytes_in("RRV_PutTag", "uid4", uid, 4)):
            raise VirtualClockError("RRV_PutTag", 0, "the field already holds a tag, or the reader is full")

    def take_tag(self) -> None:
        if not self._lib.RRV_TakeTag(self.handle):
            raise VirtualClockError("RRV_TakeTag", 0, "the field is empty")

    def read_tag_page(self, page: int, uid: Optional[bytes] = None) -> bytes:
        """What page (0 to 15) of a tag holds, read directly (uid None: the tag in the field)."""
        data = (ctypes.c_ubyte * 4)()
        f = "RRV_ReadTagPage"
        if not self._lib.RRV_ReadTagPage(self.handle, None if uid is None else _bytes_in(f, "uid4", uid, 4),
                                         _number_in(f, "page", page, 32), data):
            raise VirtualClockError(f, 0, "no such tag or page")
        return bytes(data)

    def close(self) -> None:
        if self.handle:
            self._lib.RRV_Close(self.handle)
            self.handle = 0

    def __enter__(self) -> "VirtualReader":
        return self

    def __exit__(self, *exc) -> None:
        self.close()
