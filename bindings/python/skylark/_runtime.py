"""Loading the libraries, the conversions at the edges, and the error."""
from __future__ import annotations

import ctypes
import os
import struct
import sys
from datetime import datetime, timedelta
from typing import Optional, Union

_U32 = ctypes.c_uint32

Hex = Union[str, bytes, bytearray]
"""Identifiers: bytes (sent as hex text) or hex text as a str."""
Text = Union[str, bytes]
Date = Union[datetime, float]
"""A naive local date-time, or an OLE Automation date as a float."""

_OLE_EPOCH = datetime(1899, 12, 30)
_WINDOWS = sys.platform == "win32"


class SkylarkError(Exception):
    """An export reported failure (result 0).

    export: the export's name; error_code: ClockLink's error code for the
    channel (IFD_GetErrCode), None for exports that run on no clock;
    status: the raw 16-bit result.
    """

    def __init__(self, export: str, error_code: Optional[int], status: int = 0):
        self.export = export
        self.error_code = error_code
        self.status = status
        detail = f", ClockLink error {error_code}" if error_code is not None else ""
        super().__init__(f"{export} failed (result {status}{detail})")


def platform_key() -> str:
    """'linux', 'win64' or 'win32': which decorated symbol a platform uses."""
    if not _WINDOWS:
        return "linux"
    return "win64" if struct.calcsize("P") == 8 else "win32"


def _load(path: str) -> ctypes.CDLL:
    if _WINDOWS:
        return ctypes.WinDLL(path)  # __stdcall on i686
    return ctypes.CDLL(path)


def default_paths(library: Optional[str] = None,
                  clocklink: Optional[str] = None) -> tuple[str, str]:
    """Where Skylark and ClockLink are loaded from: the arguments, else
    SKYLARK_LIBRARY and SKYLARK_CLOCKLINK, else the platform's names beside
    each other (found through the loader's search path)."""
    skylark_name, clocklink_name = (("Skylark.dll", "ClockLink.dll") if _WINDOWS
                                    else ("libskylark.so", "libclocklink.so"))
    library = library or os.environ.get("SKYLARK_LIBRARY") or skylark_name
    if clocklink is None:
        clocklink = os.environ.get("SKYLARK_CLOCKLINK")
    if clocklink is None:
        folder = os.path.dirname(library)
        clocklink = os.path.join(folder, clocklink_name) if folder else clocklink_name
    return library, clocklink


def _hex_in(value: Hex) -> bytes:
    if isinstance(value, (bytes, bytearray)):
        return bytes(value).hex().upper().encode("ascii")
    if isinstance(value, str):
        return value.encode("ascii")
    raise TypeError(f"expected bytes or hex text, got {type(value).__name__}")


def _text_in(value: Optional[Text]) -> Optional[bytes]:
    if value is None or isinstance(value, bytes):
        return value
    return value.encode("latin-1")


def _bytes_in(value: bytes, size: int, name: str) -> bytes:
    value = bytes(value)
    if len(value) != size:
        raise ValueError(f"{name} must be {size} bytes, got {len(value)}")
    return value


def _ole_in(value: Date) -> float:
    if isinstance(value, datetime):
        return (value.replace(tzinfo=None) - _OLE_EPOCH) / timedelta(days=1)
    return float(value)


def _ole_out(value: float) -> Optional[datetime]:
    """None for 0.0, the library's 'not a real date-time'; to the millisecond."""
    if value == 0.0:
        return None
    return _OLE_EPOCH + timedelta(milliseconds=round(value * 86400000))


def _str_out(buffer: ctypes.Array) -> str:
    return buffer.value.decode("latin-1")


class Binding:
    """The loaded library and ClockLink beside it, with every export's
    signature set from the export list."""

    SIGNATURES: dict = {}
    SYMBOLS: dict = {}

    def __init__(self, library: Optional[str] = None, clocklink: Optional[str] = None):
        from ._api import SIGNATURES, SYMBOLS

        library, clocklink = default_paths(library, clocklink)
        # ClockLink first, so that Skylark's dependency resolves to this one.
        self.clocklink = _load(clocklink)
        self.library = _load(library)
        self.library_path = library
        self.clocklink.IFD_GetErrCode.restype = _U32
        self.clocklink.IFD_GetErrCode.argtypes = (_U32,)
        platform = platform_key()

        class Functions:
            pass

        self._lib = Functions()
        for name, (restype, argtypes) in SIGNATURES.items():
            symbol = SYMBOLS.get(name, {}).get(platform, name)
            fn = getattr(self.library, symbol)
            fn.restype = restype
            fn.argtypes = argtypes
            setattr(self._lib, name, fn)

    @property
    def raw(self):
        """The exports themselves as ctypes functions, by their plain names
        (results as the library returns them, no exceptions)."""
        return self._lib

    def error_code(self, handle: int) -> int:
        """ClockLink's error code for the channel's last operation."""
        return self.clocklink.IFD_GetErrCode(handle)

    def _call(self, export: str, handle: Optional[int], *args) -> int:
        status = getattr(self._lib, export)(*args)
        if status == 0:
            raise SkylarkError(export, self.error_code(handle) if handle is not None else None, status)
        return status
