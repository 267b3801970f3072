"""Loading libslotscan.so.1 and libportvex.so.1 and declaring their functions."""

from __future__ import annotations

import ctypes
import os

from . import _paths

SLOTSCAN_SONAME = "libslotscan.so.1"
PORTVEX_SONAME = "libportvex.so.1"
MAX_CARDS = 9


class PCIIDStruct(ctypes.Structure):
    """struct PCIID of slotscan.h."""

    _fields_ = [
        ("DeviceID", ctypes.c_uint16),
        ("VendorID", ctypes.c_uint16),
        ("SubsystemID", ctypes.c_uint16),
        ("SubsystemVendorID", ctypes.c_uint16),
    ]


def installed_dir() -> str | None:
    """The library folder recorded at installation, or None."""
    if _paths.LIBRARY_DIR is None:
        return None
    here = os.path.dirname(os.path.abspath(__file__))
    return os.path.normpath(os.path.join(here, _paths.LIBRARY_DIR))


def _load(variable: str, soname: str) -> ctypes.CDLL:
    """Load a library from $variable, else the installed folder, else the system search."""
    explicit = os.environ.get(variable)
    if explicit:
        try:
            return ctypes.CDLL(explicit)
        except OSError as err:
            raise ImportError(f"cannot load {explicit} (from {variable}): {err}") from err
    tried = [f"{variable} (not set)"]
    folder = installed_dir()
    if folder is not None:
        candidate = os.path.join(folder, soname)
        tried.append(candidate)
        if os.path.exists(candidate):
            try:
                return ctypes.CDLL(candidate)
            except OSError as err:
                raise ImportError(f"cannot load {candidate}: {err}") from err
    tried.append(f"{soname} through the system search (LD_LIBRARY_PATH, ld.so.cache)")
    try:
        return ctypes.CDLL(soname)
    except OSError as err:
        raise ImportError(
            f"{soname} not found; looked for: " + "; ".join(tried)
            + f". Set {variable} to the library file, or install Slotscan."
        ) from err


def _declare(lib: ctypes.CDLL, name: str, restype: object, *argtypes: object) -> None:
    function = getattr(lib, name)
    function.restype = restype
    function.argtypes = list(argtypes)


# Portvex first: libslotscan's own dependency on libportvex.so.1 is then met by this very
# copy, so the port accesses made here and those the scan makes reach the same machine.
portvex = _load("PORTVEX_LIBRARY", PORTVEX_SONAME)
slotscan = _load("SLOTSCAN_LIBRARY", SLOTSCAN_SONAME)

_u16p = ctypes.POINTER(ctypes.c_uint16)
_idp = ctypes.POINTER(PCIIDStruct)
_i32 = ctypes.c_int32
_declare(portvex, "inportdw", ctypes.c_uint32, ctypes.c_uint32)
_declare(portvex, "outportdw", None, ctypes.c_uint32, ctypes.c_uint32)
_declare(portvex, "portvex_backend", ctypes.c_char_p)
_declare(portvex, "portvex_ready", ctypes.c_int)
_declare(portvex, "portvex_status", ctypes.c_char_p)
_declare(slotscan, "FindPCICard_0", _i32, _idp, ctypes.POINTER(ctypes.c_int16))
_declare(slotscan, "GetIOBaseByOrder_0", _i32, _idp, _i32, _u16p, _u16p)
_declare(slotscan, "ChangeCardNo_0", _i32, _idp, _i32, _i32)
_declare(slotscan, "SetCardNoByOrder_0", _i32, _idp, _i32, _i32)
_declare(slotscan, "ReturnPCIID", None, _u16p, _u16p, _u16p, _u16p)
