# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Properties of the argument checks and of the grammars of IDs (ids=, PCIID.parse and
PCIID.from_lspci) over generated input: accepted input round-trips, rejected input raises
TypeError or ValueError and nothing else, and a rejected call reaches no card."""

from __future__ import annotations

from collections.abc import Callable

from hypothesis import HealthCheck, assume, given, settings
from hypothesis import strategies as st

import slotscan
from slotscan import PCIID

# No example database in the source tree; scans on the simulated PC take milliseconds.
settings.register_profile("slotscan", database=None, deadline=None, max_examples=150,
                          suppress_health_check=[HealthCheck.too_slow])
settings.load_profile("slotscan")

HEX_WORD = st.builds(lambda prefix, digits: prefix + digits, st.sampled_from(["", "0x", "0X"]),
                     st.text("0123456789abcdefABCDEF", min_size=1, max_size=4))
# lspci's order (PCIID.from_lspci) also takes an empty field or "*" for any value.
LSPCI_WORD = st.one_of(HEX_WORD, st.sampled_from(["", "*"]))


def fields(word: st.SearchStrategy[str]) -> st.SearchStrategy[str]:
    return st.one_of(st.lists(word, min_size=2, max_size=2),
                     st.lists(word, min_size=4, max_size=4)).map(":".join)


RECORD_TEXT = fields(HEX_WORD)
LSPCI_TEXT = fields(LSPCI_WORD)
# Near misses: the grammars' own characters in any order, and any text at all.
ALMOST_IDS_TEXT = st.one_of(st.from_regex(r"[0-9a-fA-FxX:* +_\-\n]{0,24}", fullmatch=True),
                            st.text(max_size=24))
ANYTHING = st.one_of(st.none(), st.booleans(), st.integers(), st.floats(), st.text(max_size=8),
                     st.binary(max_size=8), st.fractions(), st.decimals(allow_nan=False),
                     st.tuples(st.integers(), st.integers()))
WORD_VALUES = st.one_of(st.integers(-2, 0x10001), ANYTHING)


def is_int(value: object) -> bool:
    return isinstance(value, int) and not isinstance(value, bool)


def words_of(text: str) -> list[int]:
    return [int(f, 16) if f not in ("", "*") else 0 for f in text.split(":")] + [0, 0]


@given(LSPCI_TEXT)
def test_ids_text_reads_its_words_in_either_order_and_prints_back_to_itself(text: str) -> None:
    vendor, device, subsystem_vendor, subsystem = words_of(text)[:4]
    ids = PCIID.from_lspci(text)
    assert ids == PCIID(vendor=vendor, device=device, subsystem_vendor=subsystem_vendor,
                        subsystem=subsystem)
    assert PCIID.from_lspci(str(ids)) == ids
    if all(field not in ("", "*") for field in text.split(":")):
        # The record's order: the same words, each pair the other way round.
        assert PCIID.parse(text) == ids.swapped()


@given(st.one_of(LSPCI_TEXT, ALMOST_IDS_TEXT))
def test_any_ids_text_is_read_or_refused_with_value_error(text: str) -> None:
    for read in (PCIID.from_lspci, PCIID.parse):
        try:
            ids = read(text)
        except ValueError:
            continue
        assert PCIID.from_lspci(str(ids)) == ids


@given(st.lists(WORD_VALUES, min_size=2, max_size=4))
def test_pciid_takes_words_and_refuses_the_rest_with_type_or_value_error(
        words: list[object]) -> None:
    valid = all(is_int(w) and 0 <= w <= 0xFFFF for w in words)
    try:
        ids = PCIID(*words)  # type: ignore[arg-type]
    except (TypeError, ValueError):
        assert not valid
        return
    assert valid
    assert PCIID.from_lspci(str(ids)) == ids


@settings(max_examples=60)
@given(st.one_of(RECORD_TEXT, ALMOST_IDS_TEXT, st.builds(PCIID, st.integers(0, 0xFFFF),
                                                         st.integers(0, 0xFFFF)), ANYTHING))
def test_ids_argument_finds_what_its_pciid_finds_or_is_refused(ids: object) -> None:
    try:
        found = slotscan.scan(ids)  # type: ignore[arg-type]
    except (TypeError, ValueError):
        assert ids is not None and not isinstance(ids, PCIID)
        return
    as_pciid = ids if not isinstance(ids, str) else PCIID.parse(ids)
    assert slotscan.scan(as_pciid) == found  # type: ignore[arg-type]


# Each lookup or change with one argument from anything; each must check it before any
# access, so the changes are given only values one of their checks refuses.
CARD = slotscan.Card(5, 4, 0xE200, 9, "00:0e")
CARD_NUMBER = (slotscan.CARD_NO_MIN, slotscan.CARD_NO_MAX)
CHECKS: dict[str, tuple[Callable[[object], object], Callable[[object], bool]]] = {
    "find": (lambda v: slotscan.find(v),  # type: ignore[arg-type]
             lambda v: is_int(v) and CARD_NUMBER[0] <= v <= CARD_NUMBER[1]),
    "at": (lambda v: slotscan.at(v), lambda v: is_int(v) and v >= 0),
    "read": (lambda v: CARD.read(v),  # type: ignore[arg-type]
             lambda v: is_int(v) and 0 <= v and 0xE200 + v + 4 <= 0x10000),
}
REFUSED_CHANGES: dict[str, Callable[[object], object]] = {
    "renumber old": lambda v: slotscan.renumber(v, 7),  # type: ignore[arg-type]
    "renumber new": lambda v: slotscan.renumber(1, v),  # type: ignore[arg-type]
    "renumber_at index": lambda v: slotscan.renumber_at(v, 7),  # type: ignore[arg-type]
    "renumber_at new": lambda v: slotscan.renumber_at(0, v),  # type: ignore[arg-type]
    "write value": lambda v: CARD.write(0, v),  # type: ignore[arg-type]
    "force": lambda v: slotscan.renumber(1, 2, force=v),  # type: ignore[arg-type]
}


@given(st.sampled_from(sorted(CHECKS)), st.one_of(st.integers(-70000, 70000), ANYTHING))
def test_lookups_take_what_their_checks_accept_and_refuse_the_rest(name: str,
                                                                   value: object) -> None:
    call, accepts = CHECKS[name]
    try:
        result = call(value)
    except (TypeError, ValueError):
        assert not accepts(value)
        return
    assert accepts(value)
    if name == "find" and result is not None:
        assert isinstance(result, slotscan.Card) and result.number == value & 0xFFFF


@settings(max_examples=100)
@given(st.sampled_from(sorted(REFUSED_CHANGES)),
       st.one_of(st.integers(-(10**6), -32769), st.integers(65536, 10**6), ANYTHING))
def test_refused_changes_raise_type_or_value_error_and_change_nothing(name: str,
                                                                      value: object) -> None:
    index_or_flag = name.startswith("renumber_at index") or name == "force"
    if name == "force":
        assume(not isinstance(value, bool))
    elif name == "write value":
        assume(not (is_int(value) and 0 <= value <= 0xFFFFFFFF))
    elif index_or_flag:
        assume(not (is_int(value) and value >= 0))
    else:
        assume(not (is_int(value) and CARD_NUMBER[0] <= value <= CARD_NUMBER[1]))
    before = slotscan.scan()
    try:
        REFUSED_CHANGES[name](value)
    except (TypeError, ValueError):
        pass
    else:
        raise AssertionError(f"{name} took {value!r}")
    assert slotscan.scan() == before
