"""Shared set-up: every test runs on the simulated PC, on a copy of tests/racks/lab.toml.

The port layer picks its backend once per process, so PORTVEX is set here, before any
test touches the package. Tests that need another machine or another environment run a
script in a child process (run_python).
"""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import tempfile
import tomllib
from collections.abc import Iterator
from pathlib import Path
from typing import Any, NamedTuple

import pytest

RACKS = Path(__file__).parent / "racks"
DEFAULT_IDS = (0x9050, 0x10B5)  # device, vendor: the library's own filter
_work = Path(tempfile.mkdtemp(prefix="slotscan-python-tests-"))


def copy_rack(folder: Path, rack: Path = RACKS / "lab.toml") -> Path:
    """A copy of a rack in folder (EEPROM images are written beside it)."""
    return Path(shutil.copy(rack, folder))


def pytest_configure(config: pytest.Config) -> None:
    os.environ["PORTVEX"] = f"sim:{copy_rack(_work)}"
    os.environ.pop("PORTVEX_TRACE", None)


def pytest_unconfigure(config: pytest.Config) -> None:
    shutil.rmtree(_work, ignore_errors=True)


class Expected(NamedTuple):
    number: int
    index: int
    io_base: int
    irq: int


def rack_cards(ids: tuple[int, ...] = DEFAULT_IDS, rack: Path = RACKS / "lab.toml") -> list[Expected]:
    """The cards of a rack that match ids (device, vendor, subsystem, subsystem vendor;
    0 matches any), in slot order, as the rack file gives them. The test racks keep every
    card where the library's scan sees it (buses 0-3, function 0, BAR1 and BAR4 in I/O)."""
    with open(rack, "rb") as f:
        contents: dict[str, Any] = tomllib.load(f)
    found = []
    for card in sorted(contents["card"], key=lambda c: c["slot"]):
        own = (card.get("device", 0x9050), card.get("vendor", 0x10B5),
               card.get("subsystem", 0), card.get("subsystem_vendor", 0))
        if all(want in (0, have) for want, have in zip(ids, own)):
            found.append(card)
    return [Expected(c.get("card_no", 0xFFFF) & 0xFFFF, i, c["bar4"] & ~3, c["irq"])
            for i, c in enumerate(found)]


def run_python(code: str, env: dict[str, str]) -> subprocess.CompletedProcess[str]:
    """Run code in a fresh interpreter with the environment changed by env."""
    full = {**os.environ, **env}
    return subprocess.run([sys.executable, "-c", code], env=full, capture_output=True,
                          text=True, timeout=120)


@pytest.fixture
def fresh_rack(tmp_path: Path) -> Iterator[Path]:
    """A private copy of the test rack, for a child process."""
    yield copy_rack(tmp_path)
