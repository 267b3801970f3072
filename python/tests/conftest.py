# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Every test runs on the simulated PC: this process on a copy of racks/lab.toml (the port
layer picks its machine once per process), other machines in child processes."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import tempfile
import tomllib
from pathlib import Path
from typing import NamedTuple

RACKS = Path(__file__).parent / "racks"
DEFAULT_IDS = (0x9050, 0x10B5)  # device, vendor: the library's own filter
_work = tempfile.mkdtemp(prefix="slotscan-python-tests-")


def copy_rack(folder: Path | str, rack: Path = RACKS / "lab.toml") -> Path:
    return Path(shutil.copy(rack, folder))  # EEPROM images are written beside the copy


def pytest_configure() -> None:
    os.environ["PORTVEX"] = f"sim:{copy_rack(_work)}"


def pytest_unconfigure() -> None:
    shutil.rmtree(_work, ignore_errors=True)


class Expected(NamedTuple):
    number: int
    index: int
    io_base: int
    irq: int
    slot: str


def rack_cards(ids: tuple[int, ...] = DEFAULT_IDS, rack: Path = RACKS / "lab.toml") -> list[Expected]:
    """The rack file's cards matching ids (0 matches any) in slot order. The test racks put
    every card where the library's scan sees it."""
    cards = sorted(tomllib.loads(rack.read_text())["card"], key=lambda c: c["slot"])
    own = [(c.get("device", 0x9050), c.get("vendor", 0x10B5), c.get("subsystem", 0),
            c.get("subsystem_vendor", 0)) for c in cards]
    found = [c for c, o in zip(cards, own) if all(w in (0, h) for w, h in zip(ids, o))]
    return [Expected(c.get("card_no", -1) & 0xFFFF, i, c["bar4"] & ~3, c["irq"], c["slot"][:5])
            for i, c in enumerate(found)]


def scans_in(trace: Path) -> int:
    """How many bus scans a PORTVEX_TRACE file shows: each starts by pointing 0xCF8 at
    register 0 of 00:00.0."""
    return trace.read_text().count("W 0cf8 <- 80000000\n")


def run_python(code: str, env: dict[str, str]) -> subprocess.CompletedProcess[str]:
    return subprocess.run([sys.executable, "-c", code], env={**os.environ, **env},
                          capture_output=True, text=True, timeout=120)
