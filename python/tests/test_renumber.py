"""Renumbering by number and by position; cards that do not take the new number."""

from __future__ import annotations

from collections.abc import Callable

import pytest
from conftest import rack_cards

import slotscan


@pytest.mark.parametrize("new", [11, -2, 0x8000])
def test_renumber_and_renumber_at_change_the_eeprom(new: int) -> None:
    first = rack_cards()[0]
    before = slotscan.cards()
    try:
        slotscan.renumber(first.number, new)
        card = slotscan.find(new)
        assert card is not None and card.index == 0 and card.number == new & 0xFFFF
        assert slotscan.cards()[1:] == before[1:]
    finally:
        slotscan.renumber_at(0, first.number)
    assert slotscan.cards() == before


Renumbering = Callable[[], None]


@pytest.mark.parametrize("renumbering", [
    lambda: slotscan.renumber(4, 40),
    lambda: slotscan.renumber_at(3, 40),
], ids=["by number", "by index"])
def test_write_protected_card_raises_renumber_error(renumbering: Renumbering) -> None:
    before = slotscan.cards()
    with pytest.raises(slotscan.RenumberError, match="did not read the new number 40 back"):
        renumbering()
    assert slotscan.cards() == before


@pytest.mark.parametrize("renumbering, error", [
    # Each would write a 16-bit number if it reached the library (65536 is 0 there).
    (lambda: slotscan.renumber(1, 65536), ValueError),
    (lambda: slotscan.renumber(1, -32769), ValueError),
    (lambda: slotscan.renumber(65537, 3), ValueError),   # 65537 would reach card 1
    (lambda: slotscan.renumber_at(0, 70000), ValueError),
    (lambda: slotscan.renumber_at(-1, 3), ValueError),
    (lambda: slotscan.renumber(99, 3), slotscan.CardNotFoundError),
    (lambda: slotscan.renumber_at(len(rack_cards()), 3), slotscan.CardNotFoundError),
])
def test_refused_renumbering_touches_nothing(renumbering: Renumbering,
                                             error: type[Exception]) -> None:
    before = slotscan.cards()
    with pytest.raises(error):
        renumbering()
    assert slotscan.cards() == before
