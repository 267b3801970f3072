# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Lookups by number and by position, through the library's filter and others."""

from __future__ import annotations

from dataclasses import astuple

import pytest
from conftest import DEFAULT_IDS, rack_cards

import slotscan
from slotscan import Card, PCIID

OTHER = PCIID(0x5678, 0x1234)  # the two cards with other IDs


@pytest.mark.parametrize("ids", [
    None, OTHER, PCIID(0x5678, 0x1234, subsystem=2, subsystem_vendor=0x1234),
    PCIID(0, 0), PCIID(0x9051, 0x10B5)])
def test_cards_and_at_give_the_table_in_scan_order(ids: PCIID | None) -> None:
    assert slotscan.default_ids() == PCIID(*DEFAULT_IDS)
    expected = rack_cards(DEFAULT_IDS if ids is None else astuple(ids))
    assert slotscan.cards(ids) == [e.number for e in expected]
    assert [slotscan.at(e.index, ids) for e in expected] == [Card(*e) for e in expected]
    assert slotscan.at(len(expected), ids) is None


@pytest.mark.parametrize("number, ids, index", [
    (1, None, 0), (4, None, 3),
    (2, None, 1),                      # two cards carry 2: the first is reached
    (65535, None, 5), (-1, None, 5),   # never numbered; the same 16-bit number
    (99, None, None), (6, None, None), (7, OTHER, 1), (1, OTHER, None)])
def test_find_reaches_the_first_card_with_the_number(number: int, ids: PCIID | None,
                                                     index: int | None) -> None:
    expected = rack_cards(DEFAULT_IDS if ids is None else astuple(ids))
    card = slotscan.find(number, ids)
    assert card == (None if index is None else Card(*expected[index]))
    if card is not None:
        with pytest.raises(AttributeError):
            card.number = 3  # type: ignore[misc]


@pytest.mark.parametrize("call", [
    lambda: slotscan.find(65536), lambda: slotscan.find(-32769), lambda: slotscan.at(-1),
    lambda: PCIID(0x10000, 0x10B5), lambda: PCIID(0x9050, -1)])
def test_out_of_range_arguments_raise_value_error(call: object) -> None:
    with pytest.raises(ValueError):
        call()  # type: ignore[operator]
