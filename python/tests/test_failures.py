# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""A port layer that cannot reach the machine makes every lookup, listing and renumbering
raise PortAccessError with the port layer's own reason; never an empty machine."""

from __future__ import annotations

import json
from pathlib import Path

import pytest
from conftest import copy_rack, run_python

CALLS = ["cards()", "scan()", "find(1)", "at(0)", "renumber(1, 5)", "renumber_at(0, 5)"]
REPORT = ("import json, slotscan\n"
          "def attempt(call):\n"
          "    try:\n"
          "        return repr(eval('slotscan.' + call))\n"
          "    except OSError as e:\n"
          "        assert isinstance(e, slotscan.PortAccessError), type(e)\n"
          "        assert isinstance(e, slotscan.SlotscanError)\n"
          "        assert e.reason == slotscan.port_status().status\n"
          "        return ['PortAccessError', e.backend, e.reason, str(e)]\n"
          f"print(json.dumps([attempt(c) for c in {CALLS!r}]))\n")


@pytest.mark.parametrize("machine, reason", [
    ("missing rack", "cannot read rack file"),
    ("damaged EEPROM image", "is corrupt"),
    ("bogus", "PORTVEX=bogus names no backend"),
    ("none", "PORTVEX=none turns port access off")])
def test_unreachable_machine_raises_with_the_reason(machine: str, reason: str,
                                                    tmp_path: Path) -> None:
    rack = copy_rack(tmp_path)
    portvex = {"missing rack": f"sim:{tmp_path / 'nowhere.toml'}",
               "damaged EEPROM image": f"sim:{rack}"}.get(machine, machine)
    image = tmp_path / "lab.eeprom.json"
    if machine == "damaged EEPROM image":
        image.write_text('{"00:0a.0": [1, 2')
    done = run_python(REPORT, {"PORTVEX": portvex})
    assert done.returncode == 0, done.stderr
    for outcome in json.loads(done.stdout):
        assert outcome[0] == "PortAccessError", outcome
        assert reason in outcome[2] and outcome[2] in outcome[3]
    if machine == "damaged EEPROM image":
        assert image.read_text() == '{"00:0a.0": [1, 2', "nothing written"

