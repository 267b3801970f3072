"""Renumbering by number and by position; cards that do not take the new number."""

from __future__ import annotations

from collections.abc import Callable

import pytest
from conftest import rack_cards

import slotscan


@pytest.mark.parametrize("new", [11, -2, 0x8000])
def test_renumber_and_renumber_at_change_the_eeprom(new: int) -> None:
    before = slotscan.cards()
    try:
        slotscan.renumber(before[0], new)
        assert slotscan.cards() == [new & 0xFFFF] + before[1:]
    finally:
        slotscan.renumber_at(0, before[0])
    assert slotscan.cards() == before


@pytest.mark.parametrize("renumbering, error", [
    # The write-protected card, by number and by index.
    (lambda: slotscan.renumber(4, 40), slotscan.RenumberError),
    (lambda: slotscan.renumber_at(3, 40), slotscan.RenumberError),
    # Each of these would write a 16-bit number if it reached the library.
    (lambda: slotscan.renumber(1, 65536), ValueError),
    (lambda: slotscan.renumber(1, -32769), ValueError),
    (lambda: slotscan.renumber(65537, 3), ValueError),   # 65537 would reach card 1
    (lambda: slotscan.renumber_at(0, 70000), ValueError),
    (lambda: slotscan.renumber_at(-1, 3), ValueError),
    (lambda: slotscan.renumber(99, 3), slotscan.CardNotFoundError),
    (lambda: slotscan.renumber_at(len(rack_cards()), 3), slotscan.CardNotFoundError)])
def test_failed_renumbering_raises_and_changes_nothing(renumbering: Callable[[], None],
                                                       error: type[Exception]) -> None:
    before = slotscan.cards()
    with pytest.raises(error) as raised:
        renumbering()
    if error is slotscan.RenumberError:
        assert "did not read the new number 40 back" in str(raised.value)
    assert slotscan.cards() == before
