# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""The example script through each way the package reaches scripts: the build tree, an
install prefix, pip. Needs the build tree, which ctest names."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
import tomllib
from pathlib import Path

import pytest
from conftest import copy_rack, rack_cards

SOURCE = Path(__file__).resolve().parents[2]
RACK3 = SOURCE / "examples" / "racks" / "rack3.toml"
if "SLOTSCAN_BUILD_DIR" not in os.environ:
    pytest.skip("needs SLOTSCAN_BUILD_DIR (set by ctest)", allow_module_level=True)
BUILD = Path(os.environ["SLOTSCAN_BUILD_DIR"]).resolve()
LIBS = {"SLOTSCAN_LIBRARY": str(BUILD / "lib/libslotscan.so.1"),
        "PORTVEX_LIBRARY": str(BUILD / "lib/libportvex.so.1")}


def run(*command: str | Path) -> None:
    subprocess.run(command, check=True, capture_output=True)


@pytest.mark.parametrize("place", ["build tree", "install prefix", "pip"])
def test_example_finds_card_2_and_reads_a_register(place: str, tmp_path: Path) -> None:
    env = {k: v for k, v in os.environ.items() if k not in [*LIBS, "LD_LIBRARY_PATH"]}
    site = BUILD / "python"
    if place == "install prefix":
        run("cmake", "--install", BUILD, "--prefix", tmp_path / "prefix")
        site = tmp_path / "prefix" / os.environ["SLOTSCAN_INSTALLED_PYTHON_DIR"]
    elif place == "pip":  # from a copy in a checkout of its own, which must stay clean
        shutil.copytree(SOURCE / "python", tmp_path / "project",
                        ignore=shutil.ignore_patterns("tests", "build", "*.egg-info"))
        git = ["git", "-C", str(tmp_path / "project"), "-c", "user.name=t", "-c", "user.email=t@t"]
        run(*git, "init", "-q")
        run(*git, "add", "-A")
        run(*git, "commit", "-qm", "package")
        run(sys.executable, "-m", "pip", "install", "-q", "--no-build-isolation", "--no-index",
            "--no-deps", "--target", tmp_path / "site", tmp_path / "project")
        status = subprocess.run([*git, "status", "--porcelain", "--ignored=no"],
                                capture_output=True, text=True, check=True).stdout
        assert status == "", f"pip left files in the checkout:\n{status}"
        site, env = tmp_path / "site", {**env, **LIBS}  # pip records no library folder
    assert (site / "slotscan" / "py.typed").is_file()
    env.update(PYTHONPATH=str(site), PORTVEX=f"sim:{copy_rack(tmp_path, RACK3)}")
    done = subprocess.run([sys.executable, SOURCE / "examples/python/find_card.py"],
                          env=env, capture_output=True, text=True, timeout=120)
    cards = rack_cards(rack=RACK3)
    assert f"Cards in table order: {[c.number for c in cards]}" in done.stdout, done.stderr
    assert (f"Card 2: index {cards[1].index}, I/O base {cards[1].io_base:#06x}, "
            f"IRQ {cards[1].irq}\nRegister at {cards[1].io_base:#06x}") in done.stdout
    for card in cards:
        assert (f"  #{card.index}  card {card.number}  I/O base {card.io_base:#06x}  "
                f"IRQ {card.irq}  slot {card.slot}\n") in done.stdout
    version = tomllib.loads((SOURCE / "python/pyproject.toml").read_text())["project"]["version"]
    assert f"slotscan {version}\n" in done.stdout, "__version__ from the package's metadata"
