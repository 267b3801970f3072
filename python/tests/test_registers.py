# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""32-bit register access at a card's I/O base, and the port layer's status."""

from __future__ import annotations

import dataclasses
import json
from pathlib import Path

import pytest
from conftest import copy_rack, run_python

import slotscan


@pytest.mark.parametrize("offset, value", [(0, 0x12345678), (0x14, 0xFFFFFFFF), (0x7C, 1)])
def test_write_then_read_reaches_io_base_plus_offset(offset: int, value: int) -> None:
    card = slotscan.find(5)  # its I/O base is its bridge's local registers: plain storage
    assert card is not None
    card.write(offset ^ 4, 0xA5A5A5A5)
    card.write(offset, value)
    assert (card.read(offset), card.read(offset ^ 4)) == (value, 0xA5A5A5A5)
    assert dataclasses.replace(card, io_base=card.io_base + offset).read(0) == value
    for bad_offset, bad_value in [(-4, 0), (0x10000, 0), (0, -1), (0, 1 << 32)]:
        with pytest.raises(ValueError):
            card.write(bad_offset, bad_value)


@pytest.mark.parametrize("backend", ["sim", "none"])
def test_port_status_names_the_backend_and_why_not(backend: str, tmp_path: Path) -> None:
    rack = copy_rack(tmp_path)
    done = run_python("import json, slotscan; print(json.dumps(slotscan.port_status()))",
                      {"PORTVEX": f"sim:{rack}" if backend == "sim" else "none"})
    name, ready, status = json.loads(done.stdout)
    assert (name, ready) == (backend, backend == "sim")
    assert (str(rack) if backend == "sim" else "PORTVEX=none") in status
