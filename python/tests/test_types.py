# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Arguments of the wrong type raise TypeError naming the parameter; ids= takes a PCIID
or the string `cardnum --id` takes, with its grammar and its message; PCIID reads, writes
and shows IDs in lspci's order, and IDs given the other way round say so."""

from __future__ import annotations

import warnings
from collections.abc import Callable

import pytest
from conftest import rack_cards

import slotscan
from slotscan import PCIID, CardNotFoundError

CARD = slotscan.Card(5, 4, 0xE200, 9, "00:0e")
CALLS: dict[str, Callable[[object], object]] = {
    "number": lambda v: slotscan.find(v),  # type: ignore[arg-type]
    "index": lambda v: slotscan.at(v),  # type: ignore[arg-type]
    "old": lambda v: slotscan.renumber(v, 9),  # type: ignore[arg-type]
    "new": lambda v: slotscan.renumber(1, v),  # type: ignore[arg-type]
    "offset": lambda v: CARD.read(v),  # type: ignore[arg-type]
    "value": lambda v: CARD.write(0, v),  # type: ignore[arg-type]
    "vendor": lambda v: PCIID(0x9050, v),  # type: ignore[arg-type]
    "force": lambda v: slotscan.renumber(1, 2, force=v),  # type: ignore[arg-type]
    "ids": lambda v: slotscan.cards(v),  # type: ignore[arg-type]
    "layer": lambda v: slotscan.use_port_layer(v),  # type: ignore[arg-type]
}


@pytest.mark.parametrize("parameter", CALLS)
@pytest.mark.parametrize("value", [True, 1.0, b"1", None, (0x9050, 0x10B5)])
def test_wrong_types_raise_type_error_naming_the_parameter(parameter: str, value: object) -> None:
    if (parameter == "ids" and value is None) or (parameter == "force" and value is True):
        return  # the default filter; a valid flag
    before = slotscan.cards()
    with pytest.raises(TypeError, match=f"^{parameter} must be "):
        CALLS[parameter](value)
    assert slotscan.cards() == before


@pytest.mark.parametrize("text, ids", [
    ("9050:10b5", PCIID(0x9050, 0x10B5)), ("0x9050:0X10b5", PCIID(0x9050, 0x10B5)),
    ("5678:1234:2:1234", PCIID(0x5678, 0x1234, 2, 0x1234)), ("0:0", PCIID(0, 0)),
    ("10b5:9050", PCIID(0x10B5, 0x9050))])  # swapped: device 10b5 of vendor 9050
def test_ids_string_is_read_as_cardnum_id_reads_it(text: str, ids: PCIID) -> None:
    assert PCIID.parse(text) == ids
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", slotscan.SwappedIdsWarning)
        assert slotscan.scan(text) == slotscan.scan(ids)
        assert slotscan.cards(text) == [e.number for e in rack_cards(
            (ids.device, ids.vendor, ids.subsystem, ids.subsystem_vendor))]


@pytest.mark.parametrize("text", ["9050", "9050:10b5:1", "9050:10b5:1:2:3", "9050:", ":10b5",
                                  "12345:10b5", "0x:10b5", "9050:10G5", " 9050:10b5",
                                  "9050:10b5\n", "-1:10b5", "+905:10b5", ""])
def test_malformed_ids_string_raises_value_error_as_cardnum_words_it(text: str) -> None:
    message = (f"'{text}' is not DEVICE:VENDOR or DEVICE:VENDOR:SUBSYSTEM:SUBVENDOR in "
               "hexadecimal, the record's order (for example 9050:10b5); PCIID.from_lspci reads "
               "IDs as lspci writes them")
    for attempt in (lambda: PCIID.parse(text), lambda: slotscan.find(1, text)):
        with pytest.raises(ValueError) as raised:
            attempt()
        assert str(raised.value) == message


# lspci's order: what from_lspci reads, str() writes and repr() names; keywords build the
# same record whatever their order.
@pytest.mark.parametrize("text, ids, spelt, shown", [
    ("10b5:9050", PCIID(vendor=0x10B5, device=0x9050), "10b5:9050",
     "PCIID(vendor=0x10b5, device=0x9050)"),
    ("0x1234:0X5678:1234:2", PCIID(device=0x5678, vendor=0x1234, subsystem=2,
                                   subsystem_vendor=0x1234),
     "1234:5678:1234:0002",
     "PCIID(vendor=0x1234, device=0x5678, subsystem_vendor=0x1234, subsystem=0x0002)"),
    (":9050", PCIID(vendor=0, device=0x9050), ":9050", "PCIID(vendor=0x0000, device=0x9050)"),
    ("*:*:1234:", PCIID(0, 0, 0, 0x1234), "::1234:",
     "PCIID(vendor=0x0000, device=0x0000, subsystem_vendor=0x1234, subsystem=0x0000)")])
def test_lspci_order_is_read_written_and_shown(text: str, ids: PCIID, spelt: str,
                                               shown: str) -> None:
    assert PCIID.from_lspci(text) == ids
    assert str(ids) == spelt and repr(ids) == shown
    assert PCIID.from_lspci(str(ids)) == ids
    assert eval(repr(ids), {"PCIID": PCIID}) == ids


@pytest.mark.parametrize("text", ["10b5", "10b5:9050:1", "10b5:9050:1:2:3", "12345:9050",
                                  "10b5:90G0", " 10b5:9050", "10b5:9050\n", "-1:9050", "**:9050"])
def test_malformed_lspci_ids_raise_value_error_as_cardnum_pci_words_it(text: str) -> None:
    with pytest.raises(ValueError) as raised:
        PCIID.from_lspci(text)
    assert str(raised.value) == (f"'{text}' is not VENDOR:DEVICE or "
                                 "VENDOR:DEVICE:SUBVENDOR:SUBDEVICE in hexadecimal, as lspci -n "
                                 "writes them (for example 10b5:9050)")


# IDs in the other order find nothing, as they always did, and now say so with the right
# spelling; IDs that match nothing either way, and the right IDs, stay quiet.
@pytest.mark.parametrize("lookup, empty", [
    (lambda ids: slotscan.cards(ids), []), (lambda ids: slotscan.scan(ids), []),
    (lambda ids: slotscan.find(1, ids), None), (lambda ids: slotscan.at(0, ids), None),
    (lambda ids: slotscan.renumber(99, 7, ids), CardNotFoundError),
    (lambda ids: slotscan.renumber_at(8, 7, ids), CardNotFoundError)])
def test_swapped_ids_warn_naming_the_right_ones(lookup: Callable[[object], object],
                                                empty: object) -> None:
    def outcome(ids: object) -> object:
        try:
            return lookup(ids)
        except CardNotFoundError:
            return CardNotFoundError
    before = slotscan.cards()
    for swapped in (PCIID(0x10B5, 0x9050), "10b5:9050", PCIID.from_lspci("9050:10b5")):
        with pytest.warns(slotscan.SwappedIdsWarning) as caught:
            assert outcome(swapped) == empty
        assert len(caught) == 1 and caught[0].filename == __file__
        assert str(caught[0].message) == (
            "no card has IDs 9050:10b5 (vendor 9050, device 10b5), but 6 cards have 10b5:9050 "
            "(vendor 10b5, device 9050), the same IDs the other way round; "
            "PCIID.from_lspci('10b5:9050') selects them")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert outcome(PCIID(vendor=0x1111, device=0x2222)) == empty
        outcome(PCIID.from_lspci("10b5:9050"))
    assert slotscan.cards() == before
