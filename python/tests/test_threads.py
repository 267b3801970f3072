"""Threads that share the package get only right answers: its lock serialises the calls."""

from __future__ import annotations

import threading
from pathlib import Path

from conftest import rack_cards, run_python

import slotscan
from slotscan import PCIID

OTHER_IDS = PCIID(0x5678, 0x1234)
ROUNDS = 40


def wrong_answers(rounds: int = ROUNDS) -> int:
    """Two threads look cards up at once, through different filters; count wrong answers."""
    first = slotscan.Card(*rack_cards()[0])
    others = [e.number for e in rack_cards((OTHER_IDS.device, OTHER_IDS.vendor))]
    wrong = [0, 0]
    start = threading.Barrier(2)

    def by_number() -> None:
        start.wait()
        for _ in range(rounds):
            wrong[0] += slotscan.find(first.number) != first

    def by_filter() -> None:
        start.wait()
        for _ in range(rounds):
            wrong[1] += slotscan.cards(OTHER_IDS) != others

    threads = [threading.Thread(target=by_number), threading.Thread(target=by_filter)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return sum(wrong)


def test_two_threads_get_only_right_answers() -> None:
    assert wrong_answers() == 0


def test_without_the_lock_the_same_threads_get_wrong_answers(fresh_rack: Path) -> None:
    # The control for the test above: the very same load with the lock taken out, in a
    # child process with a rack of its own, since the C library is then left in disorder.
    script = ("import contextlib, sys, slotscan\n"
              f"sys.path.insert(0, {str(Path(__file__).parent)!r})\n"
              "import test_threads\n"
              "slotscan._lock = contextlib.nullcontext()\n"
              "print(test_threads.wrong_answers())\n")
    done = run_python(script, {"PORTVEX": f"sim:{fresh_rack}"})
    assert done.returncode == 0, done.stderr
    assert int(done.stdout) > 0
