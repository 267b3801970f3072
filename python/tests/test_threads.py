# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Threads sharing the package get only right answers: its lock serialises the calls."""

from __future__ import annotations

import threading
from dataclasses import astuple
from pathlib import Path

from conftest import copy_rack, rack_cards, run_python

import slotscan

OTHER = slotscan.PCIID(0x5678, 0x1234)


def wrong_answers(rounds: int = 40) -> int:
    """Two threads look cards up at once through different filters; counts wrong answers."""
    first, others = slotscan.Card(*rack_cards()[0]), [e.number for e in rack_cards(astuple(OTHER))]
    checks = [lambda: slotscan.find(first.number) != first,
              lambda: slotscan.cards(OTHER) != others]
    wrong, start = [0, 0], threading.Barrier(2)

    def hammer(i: int) -> None:
        start.wait()
        wrong[i] = sum(checks[i]() for _ in range(rounds))

    threads = [threading.Thread(target=hammer, args=(i,)) for i in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return sum(wrong)


def test_two_threads_get_only_right_answers(tmp_path: Path) -> None:
    assert wrong_answers() == 0
    # The control: the same load with the lock taken out, in a child process on a rack of
    # its own (the C library is left in disorder), gets wrong answers.
    script = (f"import contextlib, sys; sys.path.insert(0, {str(Path(__file__).parent)!r})\n"
              "import slotscan, test_threads; slotscan._lock = contextlib.nullcontext()\n"
              "print(test_threads.wrong_answers())\n")
    done = run_python(script, {"PORTVEX": f"sim:{copy_rack(tmp_path)}"})
    assert int(done.stdout or 0) > 0, done.stderr
