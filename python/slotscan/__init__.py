# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Find PCI 9050 cards by the card number kept in their EEPROM, from Python.

A thin layer over libslotscan.so.1 and libportvex.so.1 (through ctypes). Every call into
them is made under one lock, so threads may share the package; the C library itself
forbids overlapping calls. Each lookup is answered from one scan of the PCI buses, as the
C functions are.

Card numbers are 16-bit EEPROM words: they are returned as 0..65535, and accepted as
-32768..65535 (-1 and 65535 are the same number, that of a card never numbered).

Nothing fails quietly: when the port layer cannot reach the machine, lookups, listings
and renumberings raise PortAccessError rather than report an empty machine.
"""

from __future__ import annotations

import ctypes
import importlib.metadata
import operator
import os
import re
import sys
import warnings
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, NamedTuple, Union

from . import _native

__all__ = [
    "Card",
    "CardNotFoundError",
    "DuplicateNumberError",
    "PCIID",
    "PortAccessError",
    "PortLayerChangedWarning",
    "PortLayerError",
    "PortStatus",
    "RenumberError",
    "SlotscanError",
    "SwappedIdsWarning",
    "__version__",
    "at",
    "cards",
    "default_ids",
    "find",
    "port_status",
    "renumber",
    "renumber_at",
    "scan",
    "use_port_layer",
]

MAX_CARDS = _native.MAX_CARDS
CARD_NO_MIN = -32768
CARD_NO_MAX = 65535

# The package's lock (see _native): module code refers to it by this name.
_lock = _native.lock


def _own_version() -> str:
    """The version in the metadata installed beside this package (pip, CMake), else in
    whatever metadata the interpreter finds for the name, else "unknown"."""
    beside = Path(__file__).resolve().parent.parent
    for dist in importlib.metadata.distributions(path=[str(beside)]):
        if dist.metadata["Name"] == "slotscan":
            return dist.version
    try:
        return importlib.metadata.version("slotscan")
    except importlib.metadata.PackageNotFoundError:
        return "unknown"


__version__ = _own_version()


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


class PortAccessError(SlotscanError, OSError):
    """The port layer cannot reach the machine, so no answer about its cards can be
    trusted. `backend` is the port layer's name, `reason` its own explanation (the
    status port_status() gives)."""

    def __init__(self, backend: str, reason: str) -> None:
        super().__init__(f"the port layer ({backend}) cannot reach the machine: {reason}")
        self.backend = backend
        self.reason = reason


class DuplicateNumberError(SlotscanError, ValueError):
    """Renumbering would give a card the number another card already carries. Nothing was
    written; `card` is the card to renumber, `other` the one carrying `number`."""

    def __init__(self, card: Card, other: Card, number: int) -> None:
        super().__init__(
            f"refused: {_describe(other)} already carries number {number}, so renumbering "
            f"{_describe(card)} to {number} would leave two cards of one number, and a "
            "lookup by number reaches only the first; nothing was written. Choose a free "
            "number, or pass force=True to number them alike anyway")
        self.card = card
        self.other = other
        self.number = number


class PortLayerError(SlotscanError, RuntimeError):
    """use_port_layer() asked for a port layer other than the one already in use."""


class PortLayerChangedWarning(RuntimeWarning):
    """PORTVEX changed after the port layer was chosen; the change has no effect."""


_HEX_WORD = re.compile(r"(?:0[xX])?[0-9A-Fa-f]{1,4}")


class SwappedIdsWarning(UserWarning):
    """The IDs given match no card, but the same IDs with vendor and device exchanged do:
    they were most likely written in the other order. The message names the right IDs."""


def _describe_ids(vendor: int, device: int, subsystem_vendor: int = 0,
                  subsystem: int = 0) -> str:
    """IDs as lspci writes them: "10b5:9050", a word of 0 (any value) as an empty field."""
    def field(word: int) -> str:
        return f"{word:04x}" if word else ""
    text = f"{field(vendor)}:{field(device)}"
    if subsystem or subsystem_vendor:
        text += f":{field(subsystem_vendor)}:{field(subsystem)}"
    return text


@dataclass(frozen=True, repr=False)
class PCIID:
    """The IDs of the cards sought. Name the fields, PCIID(vendor=0x10B5, device=0x9050),
    or read them as lspci writes them, PCIID.from_lspci("10b5:9050"); str() writes them that
    way too. A word of 0 matches any value.

    Given by position, the fields keep the order of the library's C record: device first,
    then vendor, subsystem ID, subsystem vendor ID. That order is the reverse of lspci's: a
    pair copied from `lspci -n` by position, PCIID(0x10B5, 0x9050), asks for vendor 0x9050,
    which no card has. Lookups then find nothing and warn (SwappedIdsWarning) when the
    pair the other way round would find cards.
    """

    device: int
    vendor: int
    subsystem: int = 0
    subsystem_vendor: int = 0

    def __post_init__(self) -> None:
        for name in ("device", "vendor", "subsystem", "subsystem_vendor"):
            value = _integer(getattr(self, name), name)
            if not 0 <= value <= 0xFFFF:
                raise ValueError(f"PCIID {name} must be 0 to 0xFFFF, got {value}")
            object.__setattr__(self, name, value)

    @classmethod
    def from_lspci(cls, text: str) -> PCIID:
        """The IDs as lspci writes them and `cardnum --pci` takes them: VENDOR:DEVICE or
        VENDOR:DEVICE:SUBVENDOR:SUBDEVICE, each one to four hexadecimal digits with an
        optional 0x, or empty or "*" for any value; for example "10b5:9050"."""
        if not isinstance(text, str):
            raise TypeError(f"PCIID.from_lspci takes a str, not {type(text).__name__}")
        fields = text.split(":")
        if len(fields) not in (2, 4) or not all(f in ("", "*") or _HEX_WORD.fullmatch(f)
                                                for f in fields):
            raise ValueError(f"'{text}' is not VENDOR:DEVICE or VENDOR:DEVICE:SUBVENDOR:SUBDEVICE "
                             "in hexadecimal, as lspci -n writes them (for example 10b5:9050)")
        words = [int(f, 16) if f not in ("", "*") else 0 for f in fields] + [0, 0]
        return cls(vendor=words[0], device=words[1], subsystem_vendor=words[2],
                   subsystem=words[3])

    @classmethod
    def parse(cls, text: str) -> PCIID:
        """The IDs in the record's order, as `cardnum --id` takes them (kept for scripts
        written for it): DEVICE:VENDOR or DEVICE:VENDOR:SUBSYSTEM:SUBVENDOR, each one to
        four hexadecimal digits with an optional 0x, for example "9050:10b5".
        PCIID.from_lspci reads IDs as lspci writes them."""
        if not isinstance(text, str):
            raise TypeError(f"PCIID.parse takes a str, not {type(text).__name__}")
        fields = text.split(":")
        if len(fields) not in (2, 4) or not all(_HEX_WORD.fullmatch(f) for f in fields):
            raise ValueError(f"'{text}' is not DEVICE:VENDOR or DEVICE:VENDOR:SUBSYSTEM:SUBVENDOR "
                             "in hexadecimal, the record's order (for example 9050:10b5); "
                             "PCIID.from_lspci reads IDs as lspci writes them")
        return cls(*(int(f, 16) for f in fields))

    def swapped(self) -> PCIID:
        """The same IDs with vendor and device (and the subsystem's two words) exchanged."""
        return PCIID(device=self.vendor, vendor=self.device, subsystem=self.subsystem_vendor,
                     subsystem_vendor=self.subsystem)

    def __str__(self) -> str:
        """The IDs as lspci writes them and PCIID.from_lspci reads them: "10b5:9050", with
        the subsystem's vendor and device when set, a word of 0 (any) as an empty field."""
        return _describe_ids(self.vendor, self.device, self.subsystem_vendor, self.subsystem)

    def named(self) -> str:
        """The IDs with each field named: "vendor 10b5, device 9050"."""
        def field(word: int) -> str:
            return f"{word:04x}" if word else "any"
        text = f"vendor {field(self.vendor)}, device {field(self.device)}"
        if self.subsystem or self.subsystem_vendor:
            text += (f", subsystem vendor {field(self.subsystem_vendor)}, "
                     f"subsystem device {field(self.subsystem)}")
        return text

    def __repr__(self) -> str:
        """The keyword form, vendor first: PCIID(vendor=0x10b5, device=0x9050)."""
        text = f"PCIID(vendor={self.vendor:#06x}, device={self.device:#06x}"
        if self.subsystem or self.subsystem_vendor:
            text += (f", subsystem_vendor={self.subsystem_vendor:#06x}, "
                     f"subsystem={self.subsystem:#06x}")
        return text + ")"

    def _struct(self) -> _native.PCIIDStruct:
        return _native.PCIIDStruct(self.device, self.vendor, self.subsystem,
                                   self.subsystem_vendor)


Ids = Union[PCIID, str, None]
"""What `ids=` takes: a PCIID, a `cardnum --id` string (the record's order, device first),
or None for the library's own."""


class PortStatus(NamedTuple):
    """What the port layer reaches: its backend, whether it works, and why not."""

    backend: str
    ready: bool
    status: str


@dataclass(frozen=True, repr=False)
class Card:
    """A card as one scan found it: its number, table index, I/O base (BAR4), IRQ and
    slot ("BB:DD", bus and device in hexadecimal, as `cardnum list` shows it)."""

    number: int
    index: int
    io_base: int
    irq: int
    slot: str

    def __repr__(self) -> str:
        return (f"Card(number={self.number}, index={self.index}, io_base={self.io_base:#06x}, "
                f"irq={self.irq}, slot={self.slot!r})")

    def _port(self, offset: int) -> int:
        offset = _integer(offset, "offset")
        port = self.io_base + offset
        if offset < 0 or port + 4 > 0x10000:
            raise ValueError(f"offset {offset:#x} from I/O base {self.io_base:#06x} "
                             "leaves the I/O space")
        return port

    def read(self, offset: int) -> int:
        """One 32-bit read of the port at the card's I/O base plus offset."""
        port = self._port(offset)
        with _lock:
            _enter_port_layer()
            value = int(_native.portvex.inportdw(port))
            _check_port_access()
            _after_access()
        return value

    def write(self, offset: int, value: int) -> None:
        """One 32-bit write of value to the port at the card's I/O base plus offset."""
        port = self._port(offset)
        value = _integer(value, "value")
        if not 0 <= value <= 0xFFFFFFFF:
            raise ValueError(f"register value must be 0 to 0xFFFFFFFF, got {value}")
        with _lock:
            _enter_port_layer()
            _native.portvex.outportdw(port, value)
            _check_port_access()
            _after_access()


def _describe(card: Card) -> str:
    return f"card {card.number} (index {card.index}, slot {card.slot})"


def _integer(value: object, name: str) -> int:
    """value as an int; TypeError naming the parameter for bool and for non-integers."""
    if isinstance(value, bool):
        raise TypeError(f"{name} must be an integer, not bool")
    try:
        return operator.index(value)  # type: ignore[arg-type]
    except TypeError:
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None


def _card_no(value: object, name: str) -> int:
    number = _integer(value, name)
    if not CARD_NO_MIN <= number <= CARD_NO_MAX:
        raise ValueError(f"{name} must be {CARD_NO_MIN} to {CARD_NO_MAX}, got {number}")
    return number & 0xFFFF


def _index(value: object) -> int:
    index = _integer(value, "index")
    if index < 0:
        raise ValueError(f"index must be 0 or more, got {index}")
    return index


# ---- The port layer --------------------------------------------------------------------
#
# The port layer picks its backend from PORTVEX once per process, at its first use. The
# package makes that first use itself, at its first operation (or in use_port_layer), and
# remembers the value, so that it can tell when PORTVEX later says something else.

_bound_to: str | None = None       # PORTVEX as the port layer read it; None before that
_warned_for: str | None = None     # the changed value already warned about


def _layer(value: str | None) -> str:
    """A PORTVEX value as the port layer understands it: unset and empty mean sysfs."""
    return value or "sysfs"


def _enter_port_layer() -> None:
    """Binds the port layer at the package's first operation; at later ones, warns once
    about each new PORTVEX value it no longer reads. Called under the lock."""
    global _bound_to, _warned_for
    current = _layer(os.environ.get("PORTVEX"))
    if _bound_to is None:
        _native.portvex.portvex_backend()  # the first use: the port layer reads PORTVEX
        _bound_to = current
    elif current == _bound_to:
        _warned_for = None
    elif current != _warned_for:
        _warned_for = current
        warnings.warn(
            f"PORTVEX changed to {current!r} after the port layer was bound to "
            f"{_bound_to!r}; the change has no effect in this process (port_status() shows "
            "the layer in use). Choose the layer before the first operation, with "
            "slotscan.use_port_layer() or PORTVEX, or start a new process.",
            PortLayerChangedWarning, stacklevel=_outside_package())


def _outside_package() -> int:
    """The stacklevel of the first caller outside this package, seen from the function
    that calls this one."""
    here = os.path.dirname(os.path.abspath(__file__))
    frame, level = sys._getframe(1), 1
    while frame.f_back is not None and os.path.dirname(frame.f_code.co_filename) == here:
        frame, level = frame.f_back, level + 1
    return level


def _check_port_access() -> None:
    """PortAccessError when the port layer says that accesses are lost. Under the lock."""
    if not _native.portvex.portvex_ready():
        backend, _, status = port_status()
        raise PortAccessError(backend, status)


def use_port_layer(layer: str) -> PortStatus:
    """Chooses the port layer, with a value PORTVEX takes ("sysfs", "ioperm",
    "sim:/path/to/rack.toml", "none"), and binds it at once. Call it before the package's
    first operation; it also sets os.environ["PORTVEX"], which child processes inherit.

    Once the layer is bound (by this call or by the first operation), asking for the same
    one again does nothing, and asking for another raises PortLayerError: a process keeps
    one port layer. Returns port_status(); a layer that cannot reach its machine is not an
    error here, but every later lookup raises PortAccessError with its reason.
    """
    if not isinstance(layer, str):
        raise TypeError(f"layer must be a str such as 'sim:rack3.toml', not {type(layer).__name__}")
    wanted = _layer(layer)
    with _lock:
        if _bound_to is None:
            os.environ["PORTVEX"] = layer
            _enter_port_layer()
        elif wanted != _bound_to:
            raise PortLayerError(
                f"the port layer is already bound to PORTVEX={_bound_to!r}; it cannot change "
                f"to {wanted!r} in this process. Call use_port_layer() before the first "
                "operation, or start a new process")
        return port_status()


def port_status() -> PortStatus:
    """The port layer's backend, whether its accesses reach a machine, and why not.
    Never raises for an unreachable machine: it is how to learn why."""
    with _lock:
        _enter_port_layer()
        backend = _native.portvex.portvex_backend() or b""
        ready = bool(_native.portvex.portvex_ready())
        status = _native.portvex.portvex_status() or b""
    return PortStatus(backend.decode(errors="replace"), ready, status.decode(errors="replace"))


# ---- Lookups -----------------------------------------------------------------------------


def default_ids() -> PCIID:
    """The library's own filter (ReturnPCIID)."""
    vendor, device, subsystem, subsystem_vendor = (ctypes.c_uint16() for _ in range(4))
    with _lock:
        _native.slotscan.ReturnPCIID(ctypes.byref(vendor), ctypes.byref(device),
                                     ctypes.byref(subsystem), ctypes.byref(subsystem_vendor))
    return PCIID(device.value, vendor.value, subsystem.value, subsystem_vendor.value)


_default_filter: _native.PCIIDStruct | None = None


def _filter(ids: Ids) -> _native.PCIIDStruct:
    global _default_filter
    if ids is None:
        if _default_filter is None:
            _default_filter = default_ids()._struct()
        return _default_filter
    if isinstance(ids, PCIID):
        return ids._struct()
    if isinstance(ids, str):
        return PCIID.parse(ids)._struct()
    raise TypeError("ids must be a PCIID, a 'DEVICE:VENDOR[:SUBSYSTEM:SUBVENDOR]' string "
                    f"such as '9050:10b5', or None, not {type(ids).__name__}")


def _warn_if_swapped(ids: Ids) -> None:
    """After a scan with `ids` found no card: warns when the same IDs the other way round
    find some. Under the lock; the warning names the caller of the public function."""
    if ids is None:
        return
    given = ids if isinstance(ids, PCIID) else PCIID.parse(ids)
    other = given.swapped()
    if other == given:
        return
    count = len(_snapshot(other._struct()))
    if count:
        warnings.warn(SwappedIdsWarning(
            f"no card has IDs {given} ({given.named()}), but {count} card"
            f"{' has' if count == 1 else 's have'} {other} ({other.named()}), the same IDs the "
            f"other way round; PCIID.from_lspci('{other}') selects "
            f"{'it' if count == 1 else 'them'}"), stacklevel=4)


def _snapshot(filter_: _native.PCIIDStruct) -> list[Card]:
    """Every card of one scan, in table order. Under the lock."""
    _enter_port_layer()
    entries = (_native.PCICardEntryStruct * MAX_CARDS)()
    count = _native.slotscan.ScanPCICards_0(ctypes.byref(filter_), entries, MAX_CARDS)
    _check_port_access()
    return [Card(e.CardNo, i, e.IOBase, e.IRQ, f"{e.Bus:02x}:{e.Device:02x}")
            for i, e in enumerate(entries[:min(count, MAX_CARDS)])]


def _scan(ids: Ids) -> list[Card]:
    filter_ = _filter(ids)
    with _lock:
        table = _snapshot(filter_)
        if not table:
            _warn_if_swapped(ids)
        return table


def scan(ids: Ids = None) -> list[Card]:
    """Every card, with its number, index, I/O base, IRQ and slot, in table (scan) order,
    from one scan of the buses."""
    return _scan(ids)


def cards(ids: Ids = None) -> list[int]:
    """The card numbers in table (scan) order; scan() gives the whole cards."""
    return [card.number for card in _scan(ids)]


def find(number: int, ids: Ids = None) -> Card | None:
    """The first card in table order numbered `number`, or None; one scan."""
    wanted = _card_no(number, "number")
    for card in _scan(ids):
        if card.number == wanted:
            return card
    return None


def at(index: int, ids: Ids = None) -> Card | None:
    """The card at a zero-based position in table order, or None; one scan."""
    wanted = _index(index)
    table = _scan(ids)
    return table[wanted] if wanted < len(table) else None


# ---- Renumbering -------------------------------------------------------------------------


def _renumber(ids: Ids, pick: int, new_no: int, force: bool, by_index: bool) -> None:
    filter_ = _filter(ids)
    if not isinstance(force, bool):
        raise TypeError(f"force must be True or False, not {type(force).__name__}")
    with _lock:
        table = _snapshot(filter_)
        if not table:
            _warn_if_swapped(ids)
        if by_index:
            if pick >= len(table):
                raise CardNotFoundError(f"no card at index {pick}: {len(table)} found")
            card = table[pick]
        else:
            found = [c for c in table if c.number == pick]
            if not found:
                raise CardNotFoundError(f"no card is numbered {pick}")
            card = found[0]
        others = [c for c in table if c.index != card.index and c.number == new_no]
        if others and not force:
            raise DuplicateNumberError(card, others[0], new_no)
        if by_index:
            result = _native.slotscan.SetCardNoByOrder_0(ctypes.byref(filter_), pick, new_no)
        else:
            result = _native.slotscan.ChangeCardNo_0(ctypes.byref(filter_), pick, new_no)
        _check_port_access()
    if not result:
        raise RenumberError(f"{_describe(card)} did not read the new number {new_no} back: "
                            "its EEPROM is write-protected, missing or not answering")


def renumber(old: int, new: int, ids: Ids = None, *, force: bool = False) -> None:
    """Give the first card numbered `old` the number `new`. A number another card
    carries is refused (DuplicateNumberError) unless force=True."""
    old_no = _card_no(old, "old")
    new_no = _card_no(new, "new")
    _renumber(ids, old_no, new_no, force, by_index=False)


def renumber_at(index: int, new: int, ids: Ids = None, *, force: bool = False) -> None:
    """Give the card at a zero-based position in table order the number `new`. A number
    another card carries is refused (DuplicateNumberError) unless force=True."""
    wanted = _index(index)
    new_no = _card_no(new, "new")
    _renumber(ids, wanted, new_no, force, by_index=True)
