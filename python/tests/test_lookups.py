"""Lookups by number and by position, with the library's filter and with others."""

from __future__ import annotations

from dataclasses import astuple

import pytest
from conftest import DEFAULT_IDS, rack_cards

import slotscan
from slotscan import PCIID


def test_default_filter_is_the_librarys_own() -> None:
    assert slotscan.default_ids() == PCIID(*DEFAULT_IDS)


@pytest.mark.parametrize("ids", [
    None,                                    # the library's own filter
    PCIID(0x5678, 0x1234),                   # the two cards with other IDs
    PCIID(0x5678, 0x1234, subsystem=0x0002, subsystem_vendor=0x1234),
    PCIID(0, 0),                             # every card
    PCIID(0x9051, 0x10B5),                   # none
])
def test_cards_and_at_give_the_table_in_scan_order(ids: PCIID | None) -> None:
    expected = rack_cards(DEFAULT_IDS if ids is None else astuple(ids))
    assert slotscan.cards(ids) == [e.number for e in expected]
    for e in expected:
        assert slotscan.at(e.index, ids) == slotscan.Card(*e)
    assert slotscan.at(len(expected), ids) is None


@pytest.mark.parametrize("number, index", [
    (1, 0),
    (2, 1),          # two cards carry 2: the lookup reaches the first
    (4, 3),
    (65535, 5),      # never numbered
    (-1, 5),         # the same 16-bit number
    (99, None),
    (6, None),       # a card with other IDs: not seen through the default filter
])
def test_find_reaches_the_first_card_with_the_number(number: int, index: int | None) -> None:
    card = slotscan.find(number)
    if index is None:
        assert card is None
    else:
        assert card == slotscan.Card(*rack_cards()[index])


def test_find_with_other_ids() -> None:
    ids = PCIID(0x5678, 0x1234)
    assert slotscan.find(7, ids) == slotscan.Card(*rack_cards(astuple(ids))[1])
    assert slotscan.find(1, ids) is None


@pytest.mark.parametrize("call", [
    lambda: slotscan.find(65536),
    lambda: slotscan.find(-32769),
    lambda: slotscan.at(-1),
    lambda: PCIID(0x10000, 0x10B5),
    lambda: PCIID(0x9050, -1),
])
def test_out_of_range_arguments_raise_value_error(call: object) -> None:
    with pytest.raises(ValueError):
        call()  # type: ignore[operator]


def test_cards_are_immutable_values() -> None:
    card = slotscan.find(1)
    assert card is not None
    with pytest.raises(AttributeError):
        card.number = 3  # type: ignore[misc]
    assert card == slotscan.find(1) and hash(card) == hash(slotscan.find(1))
