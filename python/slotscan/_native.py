# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Loading libslotscan.so.1 and libportvex.so.1, declaring their functions, and the one
lock every call into either of them is made under.

Everything in the package that reaches a library does so here or through `lock`: the C
library keeps one card table and drives the EEPROMs bit by bit, and the port layer's
machines expect one caller at a time.
"""

from __future__ import annotations

import ctypes
import os
import threading

from . import _paths

SLOTSCAN_SONAME = "libslotscan.so.1"
PORTVEX_SONAME = "libportvex.so.1"
MAX_CARDS = 9

# Taken around every call into either library, by every module of the package. Reentrant,
# so that an operation may be made of several calls that no other thread comes between.
lock = threading.RLock()


class PCIIDStruct(ctypes.Structure):
    """struct PCIID of slotscan.h."""

    _fields_ = [
        ("DeviceID", ctypes.c_uint16),
        ("VendorID", ctypes.c_uint16),
        ("SubsystemID", ctypes.c_uint16),
        ("SubsystemVendorID", ctypes.c_uint16),
    ]


class PCICardEntryStruct(ctypes.Structure):
    """struct PCICardEntry of slotscan.h: one card of a snapshot."""

    _fields_ = [
        ("CardNo", ctypes.c_uint16),
        ("IOBase", ctypes.c_uint16),
        ("IRQ", ctypes.c_uint16),
        ("Bus", ctypes.c_uint8),
        ("Device", ctypes.c_uint8),
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
    try:
        function = getattr(lib, name)
    except AttributeError as err:
        raise ImportError(f"{lib._name} has no function {name}: this package needs the "
                          "library of Slotscan 1.2.0 or later") from err
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
# Card models of the simulated PC (portvex/simulated.h).
SIM_READ = ctypes.CFUNCTYPE(ctypes.c_uint32, ctypes.c_void_p, ctypes.c_uint32)
SIM_WRITE = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint32)
_declare(portvex, "portvex_sim_attach", ctypes.c_int, ctypes.c_char_p, SIM_READ, SIM_WRITE,
         ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t)
_declare(portvex, "portvex_sim_detach", ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p,
         ctypes.c_size_t)
_declare(slotscan, "ScanPCICards_0", _i32, _idp, ctypes.POINTER(PCICardEntryStruct), _i32)
_declare(slotscan, "ChangeCardNo_0", _i32, _idp, _i32, _i32)
_declare(slotscan, "SetCardNoByOrder_0", _i32, _idp, _i32, _i32)
_declare(slotscan, "ReturnPCIID", None, _u16p, _u16p, _u16p, _u16p)
