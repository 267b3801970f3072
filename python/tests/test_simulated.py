# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Card models in Python (slotscan.simulated), and the DIO example on the dio32 rack."""

from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path

import pytest
from conftest import copy_rack, run_python

import slotscan
import slotscan.simulated

EXAMPLES = Path(__file__).parents[2] / "examples"
CARD = 4  # lab.toml: I/O range at 0x3c0, nothing declared there


class Latch:
    def __init__(self) -> None:
        self.value = 0
        self.calls: list[tuple[str, int]] = []

    def read(self, offset: int) -> int:
        self.calls.append(("read", offset))
        return self.value | offset

    def write(self, offset: int, value: int) -> None:
        self.calls.append(("write", offset))
        self.value = value


class Broken:
    def __init__(self, returned: object = 0) -> None:
        self.returned = returned

    def read(self, offset: int) -> object:
        if self.returned is None:
            raise RuntimeError("no such register")
        return self.returned

    def write(self, offset: int, value: int) -> None:
        raise KeyError(offset)


def test_a_model_serves_the_card_by_number_card_or_slot_until_detached() -> None:
    card = slotscan.find(CARD)
    assert card is not None and card.read(8) == 0xFFFFFFFF
    for name in (CARD, card, "00:0d.0"):
        model = Latch()
        slotscan.simulated.attach(name, model)
        card.write(0, 0x1200)
        assert card.read(8) == 0x1208
        assert model.calls == [("write", 0), ("read", 8)]
    slotscan.simulated.detach("00:0d.0")
    assert card.read(8) == 0xFFFFFFFF
    assert slotscan.find(1).read(0) == 0xFFFFFFFF  # type: ignore[union-attr]


@pytest.mark.parametrize("model, access, message, cause", [
    (Broken(None), "read", "in read(0x4) raised RuntimeError: no such register", RuntimeError),
    (Broken(1 << 32), "read", "read must return 0 to 0xFFFFFFFF, not 4294967296", ValueError),
    (Broken("7"), "read", "raised TypeError", TypeError),
    (Broken(), "write", "in write(0x4, 0x9) raised KeyError: 4", KeyError),
])
def test_what_a_model_raises_reaches_the_caller(model: Broken, access: str, message: str,
                                                cause: type) -> None:
    card = slotscan.find(CARD)
    assert card is not None
    slotscan.simulated.attach(CARD, model)
    try:
        with pytest.raises(slotscan.simulated.ModelError, match=message.replace("(", r"\(")
                           .replace(")", r"\)")) as raised:
            if access == "read":
                card.read(4)
            else:
                card.write(4, 9)
        assert isinstance(raised.value.__cause__, cause)
        assert isinstance(raised.value, slotscan.SlotscanError)
        card.read(0) if access == "write" else None  # the error was raised once, not kept
    finally:
        slotscan.simulated.detach(CARD)


def test_attach_refuses_what_cannot_be_served() -> None:
    with pytest.raises(slotscan.CardNotFoundError):
        slotscan.simulated.attach(99, Latch())
    with pytest.raises(slotscan.simulated.SimulationError, match="no card at slot 00:1f.0"):
        slotscan.simulated.attach("00:1f.0", Latch())
    # Card 5's I/O base is its bridge's local registers.
    with pytest.raises(slotscan.simulated.SimulationError, match="would overlap the local"):
        slotscan.simulated.attach(5, Latch())
    with pytest.raises(TypeError, match=r"needs a read\(\) method"):
        slotscan.simulated.attach(CARD, object())  # type: ignore[arg-type]


@pytest.mark.parametrize("portvex, reason", [
    ("none", "port layer is 'none'"),
    ("sim:{missing}", "missing.toml"),
])
def test_attach_without_a_running_simulated_pc_is_an_error(tmp_path: Path, portvex: str,
                                                           reason: str) -> None:
    # `import slotscan` alone reaches slotscan.simulated, as its docstring writes it.
    done = run_python("import slotscan\n"
                      "s = slotscan.simulated\n"
                      "try:\n s.attach('00:0a.0', object())\nexcept TypeError: pass\n"
                      "class M:\n def read(self, o): return 0\n def write(self, o, v): pass\n"
                      "for call in (lambda: s.attach('00:0a.0', M()),\n"
                      "             lambda: s.detach('00:0a.0')):\n"
                      " try:\n  call()\n"
                      " except s.SimulationError as e: print('refused:', e)\n",
                      {"PORTVEX": portvex.format(missing=tmp_path / "missing.toml")})
    refusals = done.stdout.splitlines()
    assert len(refusals) == 2, done.stdout + done.stderr
    for refusal in refusals:
        assert refusal.startswith("refused: card 00:0a.0: card models need the simulated PC")
        assert reason in refusal


def run_example(script: str, rack: Path) -> subprocess.CompletedProcess[str]:
    return subprocess.run([sys.executable, str(EXAMPLES / "python" / script)],
                          env={**os.environ, "PORTVEX": f"sim:{rack}"}, capture_output=True,
                          text=True, timeout=120)


def test_dio_selftest_passes_on_the_dio32_rack_and_catches_a_stuck_input(
        tmp_path: Path) -> None:
    rack = copy_rack(tmp_path, EXAMPLES / "racks" / "dio32.toml")
    done = run_example("dio_selftest.py", rack)
    assert done.returncode == 0, done.stdout + done.stderr
    lines = done.stdout.splitlines()
    assert lines[0] == "Card 1: I/O base 0x0300, IRQ 5"
    assert [line.split()[:2] for line in lines[1:6]] == [
        ["ID", "ok"], ["loopback", "ok"], ["interrupts", "ok"], ["timer", "ok"],
        ["conversion", "ok"]]
    assert "pending 0x5, after clearing 0x0" in lines[3]
    assert "ready after 4 polls: 0x800" in lines[5]
    assert lines[-1] == "Self-test passed: 5 of 5 checks"

    done = run_example("dio_model.py", rack)
    assert done.returncode == 1, done.stdout + done.stderr
    assert "loopback   FAIL  68 patterns, channels differing: 0x00000080" in done.stdout
    assert done.stdout.endswith("Self-test FAILED: 1 of 5 checks\n")
