# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Lookups answered from one scan: scan() gives every card with its slot, and find(), at(),
cards() and scan() each cost exactly one scan of the buses."""

from __future__ import annotations

from dataclasses import astuple
from pathlib import Path

import pytest
from conftest import DEFAULT_IDS, copy_rack, rack_cards, run_python, scans_in

import slotscan
from slotscan import Card, PCIID


@pytest.mark.parametrize("ids", [None, PCIID(0x5678, 0x1234), "5678:1234:2:1234", PCIID(0, 0)])
def test_scan_gives_every_card_with_its_slot(ids: PCIID | str | None) -> None:
    wanted = (DEFAULT_IDS if ids is None else
              astuple(PCIID.parse(ids) if isinstance(ids, str) else ids))
    expected = [Card(*e) for e in rack_cards(wanted)]
    assert slotscan.scan(ids) == expected
    assert slotscan.cards(ids) == [card.number for card in expected]
    assert repr(expected[0]).startswith(
        f"Card(number={expected[0].number}, index=0, io_base={expected[0].io_base:#06x}, ")
    assert repr(expected[0]).endswith(f"slot='{expected[0].slot}')")


@pytest.mark.parametrize("call", ["find(2)", "find(99)", "at(5)", "at(8)", "cards()", "scan()"])
def test_each_lookup_costs_one_scan(call: str, tmp_path: Path) -> None:
    trace = tmp_path / "trace.txt"
    done = run_python(f"import slotscan; print(slotscan.{call})",
                      {"PORTVEX": f"sim:{copy_rack(tmp_path)}", "PORTVEX_TRACE": str(trace)})
    assert done.returncode == 0, done.stderr
    assert scans_in(trace) == 1, done.stdout
