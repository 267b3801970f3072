# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Renumbering by number and by position; cards that do not take the new number."""

from __future__ import annotations

import os
from collections.abc import Callable
from pathlib import Path

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


@pytest.mark.parametrize("renumbering", [
    lambda force: slotscan.renumber(1, 2, force=force),       # 2 is on 00:0b and 00:0c
    lambda force: slotscan.renumber_at(0, 5, force=force),    # 5 is on 00:0e
    lambda force: slotscan.renumber(2, 5, "9050:10b5", force=force)])
def test_duplicate_numbers_are_refused_unless_forced(
        renumbering: Callable[[bool], None]) -> None:
    before = slotscan.cards()
    image = Path(os.environ["PORTVEX"][len("sim:"):]).with_suffix(".eeprom.json")
    written = image.read_bytes() if image.exists() else None
    with pytest.raises(slotscan.DuplicateNumberError) as raised:
        renumbering(False)
    assert isinstance(raised.value, ValueError)
    card, other = raised.value.card, raised.value.other
    for named in (card, other):
        assert f"card {named.number} (index {named.index}, slot {named.slot})" in str(raised.value)
    assert slotscan.cards() == before
    assert (image.read_bytes() if image.exists() else None) == written, "nothing written"
    try:
        renumbering(True)
        assert slotscan.scan()[card.index].number == other.number
    finally:
        slotscan.renumber_at(card.index, card.number, force=True)
    assert slotscan.cards() == before
