"""32-bit register access at a card's I/O base, and the port layer's status."""

from __future__ import annotations

import json
from pathlib import Path

import pytest
from conftest import run_python

import slotscan

# On the test rack card 5's I/O base is its bridge's local registers, plain storage in the
# simulated PC (CNTRL at 0x50 excepted).
CARD = 5


@pytest.mark.parametrize("offset, value", [
    (0x00, 0x12345678),
    (0x14, 0xFFFFFFFF),
    (0x4C, 0x00000000),
    (0x7C, 0x80000001),
])
def test_write_then_read_reaches_io_base_plus_offset(offset: int, value: int) -> None:
    card = slotscan.find(CARD)
    assert card is not None
    card.write(offset ^ 4, 0xA5A5A5A5)
    card.write(offset, value)
    assert card.read(offset) == value
    assert card.read(offset ^ 4) == 0xA5A5A5A5   # one dword written, not more
    # The same port through another base: the access lands at io_base + offset exactly.
    moved = slotscan.Card(card.number, card.index, card.io_base + offset, card.irq)
    assert moved.read(0) == value


def test_card_without_decoding_at_its_io_base_reads_all_ones() -> None:
    card = slotscan.find(1)   # the simulated PC decodes nothing behind BAR4
    assert card is not None
    card.write(0, 0x1234)
    assert card.read(0) == 0xFFFFFFFF


@pytest.mark.parametrize("offset, value", [(-4, 0), (0x10000, 0), (0, -1), (0, 1 << 32)])
def test_out_of_range_register_access_raises_value_error(offset: int, value: int) -> None:
    card = slotscan.find(CARD)
    assert card is not None
    with pytest.raises(ValueError):
        card.write(offset, value)


STATUS = "import json, slotscan; print(json.dumps(slotscan.port_status()))"


@pytest.mark.parametrize("backend", ["sim", "none"])
def test_port_status_names_the_backend_and_why_not(backend: str, fresh_rack: Path) -> None:
    portvex = f"sim:{fresh_rack}" if backend == "sim" else "none"
    done = run_python(STATUS, {"PORTVEX": portvex})
    assert done.returncode == 0, done.stderr
    name, ready, status = json.loads(done.stdout)
    assert name == backend
    assert ready is (backend == "sim")
    assert (str(fresh_rack) if backend == "sim" else "PORTVEX=none") in status
