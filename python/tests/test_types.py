# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Arguments of the wrong type raise TypeError naming the parameter; ids= takes a PCIID
or the string `cardnum --id` takes, with its grammar and its message."""

from __future__ import annotations

from collections.abc import Callable

import pytest
from conftest import rack_cards

import slotscan
from slotscan import PCIID

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
    ("9050:10B5", PCIID(0x9050, 0x10B5)), ("0x9050:0X10b5", PCIID(0x9050, 0x10B5)),
    ("5678:1234:2:1234", PCIID(0x5678, 0x1234, 2, 0x1234)), ("0:0", PCIID(0, 0)),
    ("10B5:9050", PCIID(0x10B5, 0x9050))])  # swapped: device 10B5 of vendor 9050
def test_ids_string_is_read_as_cardnum_reads_it(text: str, ids: PCIID) -> None:
    assert PCIID.parse(text) == ids
    assert slotscan.scan(text) == slotscan.scan(ids)
    assert slotscan.cards(text) == [e.number for e in rack_cards((ids.device, ids.vendor,
                                                                 ids.subsystem, ids.subsystem_vendor))]


@pytest.mark.parametrize("text", ["9050", "9050:10B5:1", "9050:10B5:1:2:3", "9050:", ":10B5",
                                  "12345:10B5", "0x:10B5", "9050:10G5", " 9050:10B5",
                                  "9050:10B5\n", "-1:10B5", "+905:10B5", ""])
def test_malformed_ids_string_raises_value_error_as_cardnum_words_it(text: str) -> None:
    message = (f"'{text}' is not DEVICE:VENDOR or DEVICE:VENDOR:SUBSYSTEM:SUBVENDOR in "
               "hexadecimal (for example 9050:10B5)")
    for attempt in (lambda: PCIID.parse(text), lambda: slotscan.find(1, text)):
        with pytest.raises(ValueError) as raised:
            attempt()
        assert str(raised.value) == message
