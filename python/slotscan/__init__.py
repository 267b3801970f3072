"""Find PCI 9050 cards by the card number kept in their EEPROM, from Python.

A thin layer over libslotscan.so.1 and libportvex.so.1 (through ctypes). Every call into
them is made under one lock, so threads may share the package; the C library itself
forbids overlapping calls. Each lookup rescans the PCI buses, as the C functions do.

Card numbers are 16-bit EEPROM words: they are returned as 0..65535, and accepted as
-32768..65535 (-1 and 65535 are the same number, that of a card never numbered).
"""

from __future__ import annotations

import ctypes
import operator
import threading
from dataclasses import dataclass
from typing import Callable, NamedTuple

from . import _native

__all__ = [
    "Card",
    "CardNotFoundError",
    "PCIID",
    "PortStatus",
    "RenumberError",
    "SlotscanError",
    "at",
    "cards",
    "default_ids",
    "find",
    "port_status",
    "renumber",
    "renumber_at",
]

MAX_CARDS = _native.MAX_CARDS
CARD_NO_MIN = -32768
CARD_NO_MAX = 65535

# One lock for every call into either library: the C library keeps one card table and
# drives the EEPROMs bit by bit, and the port layer's machines expect one caller at a time.
_lock = threading.RLock()


def _no_model_error() -> None:
    pass


# Raises what a card model (slotscan.simulated) raised during the access just made.
_after_access: Callable[[], None] = _no_model_error


class SlotscanError(Exception):
    """A card operation failed."""


class CardNotFoundError(SlotscanError, LookupError):
    """No card has the number or table index asked for."""


class RenumberError(SlotscanError):
    """The card did not read the new number back after it was written."""


@dataclass(frozen=True)
class PCIID:
    """The IDs of the cards sought; a word of 0 matches any value."""

    device: int
    vendor: int
    subsystem: int = 0
    subsystem_vendor: int = 0

    def __post_init__(self) -> None:
        for name in ("device", "vendor", "subsystem", "subsystem_vendor"):
            value = operator.index(getattr(self, name))
            if not 0 <= value <= 0xFFFF:
                raise ValueError(f"PCIID {name} must be 0 to 0xFFFF, got {value}")

    def _struct(self) -> _native.PCIIDStruct:
        return _native.PCIIDStruct(self.device, self.vendor, self.subsystem,
                                   self.subsystem_vendor)


class PortStatus(NamedTuple):
    """What the port layer reaches: its backend, whether it works, and why not."""

    backend: str
    ready: bool
    status: str


@dataclass(frozen=True)
class Card:
    """A card found by a lookup: its number, table index, I/O base (BAR4) and IRQ."""

    number: int
    index: int
    io_base: int
    irq: int

    def _port(self, offset: int) -> int:
        offset = operator.index(offset)
        port = self.io_base + offset
        if offset < 0 or port + 4 > 0x10000:
            raise ValueError(f"offset {offset:#x} from I/O base {self.io_base:#06x} "
                             "leaves the I/O space")
        return port

    def read(self, offset: int) -> int:
        """One 32-bit read of the port at the card's I/O base plus offset."""
        port = self._port(offset)
        with _lock:
            value = int(_native.portvex.inportdw(port))
            _after_access()
            return value

    def write(self, offset: int, value: int) -> None:
        """One 32-bit write of value to the port at the card's I/O base plus offset."""
        port = self._port(offset)
        value = operator.index(value)
        if not 0 <= value <= 0xFFFFFFFF:
            raise ValueError(f"register value must be 0 to 0xFFFFFFFF, got {value}")
        with _lock:
            _native.portvex.outportdw(port, value)
            _after_access()


def _card_no(value: int, what: str) -> int:
    value = operator.index(value)
    if not CARD_NO_MIN <= value <= CARD_NO_MAX:
        raise ValueError(f"{what} must be {CARD_NO_MIN} to {CARD_NO_MAX}, got {value}")
    return value & 0xFFFF


def default_ids() -> PCIID:
    """The library's own filter (ReturnPCIID)."""
    vendor, device, subsystem, subsystem_vendor = (ctypes.c_uint16() for _ in range(4))
    with _lock:
        _native.slotscan.ReturnPCIID(ctypes.byref(vendor), ctypes.byref(device),
                                     ctypes.byref(subsystem), ctypes.byref(subsystem_vendor))
    return PCIID(device.value, vendor.value, subsystem.value, subsystem_vendor.value)


def _filter(ids: PCIID | None) -> _native.PCIIDStruct:
    return (ids if ids is not None else default_ids())._struct()


def _numbers(filter_: _native.PCIIDStruct) -> list[int]:
    buffer = (ctypes.c_int16 * MAX_CARDS)()
    count = _native.slotscan.FindPCICard_0(ctypes.byref(filter_), buffer)
    return [buffer[i] & 0xFFFF for i in range(count)]


def _card_at(filter_: _native.PCIIDStruct, index: int, number: int) -> Card | None:
    io_base, irq = ctypes.c_uint16(), ctypes.c_uint16()
    if not _native.slotscan.GetIOBaseByOrder_0(ctypes.byref(filter_), index,
                                               ctypes.byref(io_base), ctypes.byref(irq)):
        return None
    return Card(number, index, io_base.value, irq.value)


def cards(ids: PCIID | None = None) -> list[int]:
    """The card numbers in table (scan) order."""
    filter_ = _filter(ids)
    with _lock:
        return _numbers(filter_)


def find(number: int, ids: PCIID | None = None) -> Card | None:
    """The first card in table order numbered `number`, or None."""
    wanted = _card_no(number, "card number")
    filter_ = _filter(ids)
    with _lock:
        numbers = _numbers(filter_)
        if wanted not in numbers:
            return None
        return _card_at(filter_, numbers.index(wanted), wanted)


def at(index: int, ids: PCIID | None = None) -> Card | None:
    """The card at a zero-based position in table order, or None."""
    index = operator.index(index)
    if index < 0:
        raise ValueError(f"card index must be 0 or more, got {index}")
    filter_ = _filter(ids)
    with _lock:
        numbers = _numbers(filter_)
        if index >= len(numbers):
            return None
        return _card_at(filter_, index, numbers[index])


def _check_written(result: int, what: str, new: int) -> None:
    if not result:
        raise RenumberError(f"{what} did not read the new number {new} back: its EEPROM is "
                            "write-protected, missing or not answering")


def renumber(old: int, new: int, ids: PCIID | None = None) -> None:
    """Give the first card numbered `old` the number `new`."""
    old_no = _card_no(old, "old card number")
    new_no = _card_no(new, "new card number")
    filter_ = _filter(ids)
    with _lock:
        if old_no not in _numbers(filter_):
            raise CardNotFoundError(f"no card is numbered {old_no}")
        result = _native.slotscan.ChangeCardNo_0(ctypes.byref(filter_), old_no, new_no)
    _check_written(result, f"card {old_no}", new_no)


def renumber_at(index: int, new: int, ids: PCIID | None = None) -> None:
    """Give the card at a zero-based position in table order the number `new`."""
    index = operator.index(index)
    new_no = _card_no(new, "new card number")
    if index < 0:
        raise ValueError(f"card index must be 0 or more, got {index}")
    filter_ = _filter(ids)
    with _lock:
        if index >= len(_numbers(filter_)):
            raise CardNotFoundError(f"no card at index {index}")
        result = _native.slotscan.SetCardNoByOrder_0(ctypes.byref(filter_), index, new_no)
    _check_written(result, f"the card at index {index}", new_no)


def port_status() -> PortStatus:
    """The port layer's backend, whether its accesses reach a machine, and why not."""
    with _lock:
        backend = _native.portvex.portvex_backend() or b""
        ready = bool(_native.portvex.portvex_ready())
        status = _native.portvex.portvex_status() or b""
    return PortStatus(backend.decode(errors="replace"), ready, status.decode(errors="replace"))
