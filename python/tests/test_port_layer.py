# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Choosing the port layer from Python before the first operation, refusing another one
afterwards, and warning once when PORTVEX changes behind a bound layer."""

from __future__ import annotations

import json
from pathlib import Path

from conftest import copy_rack, run_python

RACK3 = Path(__file__).resolve().parents[2] / "examples" / "racks" / "rack3.toml"


def test_use_port_layer_binds_before_the_first_operation(tmp_path: Path) -> None:
    rack = copy_rack(tmp_path)
    (tmp_path / "other").mkdir()
    other = copy_rack(tmp_path / "other", RACK3)
    script = (
        "import json, os, slotscan\n"
        f"status = slotscan.use_port_layer('sim:{rack}')\n"
        "assert slotscan.use_port_layer(os.environ['PORTVEX']) == status  # the same: no-op\n"
        "try:\n"
        f"    slotscan.use_port_layer('sim:{other}')\n"
        "except slotscan.PortLayerError as e:\n"
        "    refused = str(e)\n"
        "print(json.dumps([status, slotscan.cards(), os.environ['PORTVEX'], refused]))\n")
    done = run_python(script, {"PORTVEX": "none"})
    assert done.returncode == 0, done.stderr
    status, cards, variable, refused = json.loads(done.stdout)
    assert status == ["sim", True, f"Simulated PC from rack file {rack}."]
    assert cards == [1, 2, 2, 4, 5, 65535] and variable == f"sim:{rack}"
    assert f"sim:{rack}" in refused and f"sim:{other}" in refused


def test_changed_portvex_warns_once_and_changes_nothing(tmp_path: Path) -> None:
    rack = copy_rack(tmp_path)
    script = (
        "import json, os, warnings, slotscan\n"
        "warnings.simplefilter('always')\n"
        "first = slotscan.cards()\n"
        "os.environ['PORTVEX'] = 'none'\n"
        "with warnings.catch_warnings(record=True) as caught:\n"
        "    warnings.simplefilter('always')\n"
        "    later = [slotscan.cards(), slotscan.find(1).number, slotscan.port_status()]\n"
        "print(json.dumps([first, later, [(w.category.__name__, str(w.message), w.filename)\n"
        "                                 for w in caught]]))\n")
    done = run_python(script, {"PORTVEX": f"sim:{rack}"})
    assert done.returncode == 0, done.stderr
    first, later, caught = json.loads(done.stdout)
    assert later == [first, 1, ["sim", True, f"Simulated PC from rack file {rack}."]]
    assert len(caught) == 1, caught
    category, message, filename = caught[0]
    assert category == "PortLayerChangedWarning" and filename == "<string>"
    assert "'none'" in message and f"'sim:{rack}'" in message
