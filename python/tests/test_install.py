"""The example script through each way the package reaches a script: the build tree,
an install prefix, and pip. Runs under ctest, which names the build tree."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
from collections.abc import Callable
from pathlib import Path

import pytest
from conftest import copy_rack, rack_cards

SOURCE = Path(__file__).resolve().parents[2]
EXAMPLE = SOURCE / "examples" / "python" / "find_card.py"
RACK3 = SOURCE / "examples" / "racks" / "rack3.toml"
BUILD = os.environ.get("SLOTSCAN_BUILD_DIR")
if BUILD is None:
    pytest.skip("needs SLOTSCAN_BUILD_DIR (set by ctest)", allow_module_level=True)
BUILD_DIR = Path(BUILD).resolve()
# Puts the package somewhere; gives the folder for PYTHONPATH and the environment needed.
Place = Callable[[Path], tuple[Path, dict[str, str]]]


def build_tree(tmp: Path) -> tuple[Path, dict[str, str]]:
    return BUILD_DIR / "python", {}


def install_prefix(tmp: Path) -> tuple[Path, dict[str, str]]:
    subprocess.run(["cmake", "--install", str(BUILD_DIR), "--prefix", str(tmp / "prefix")],
                   check=True, capture_output=True)
    return tmp / "prefix" / os.environ["SLOTSCAN_INSTALLED_PYTHON_DIR"], {}


def pip_target(tmp: Path) -> tuple[Path, dict[str, str]]:
    if subprocess.run([sys.executable, "-m", "pip", "--version"], capture_output=True).returncode:
        pytest.skip(f"{sys.executable} has no pip (Debian: python3-pip)")
    # From a copy: setuptools leaves build/ and *.egg-info beside the project file.
    project = tmp / "project"
    shutil.copytree(SOURCE / "python", project, ignore=shutil.ignore_patterns(
        "tests", "build", "*.egg-info", "__pycache__"))
    subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-build-isolation",
                    "--no-index", "--no-deps", "--target", str(tmp / "site"), str(project)],
                   check=True, capture_output=True, cwd=tmp)
    # A pip install records no library folder: the environment names the libraries.
    return tmp / "site", {"SLOTSCAN_LIBRARY": str(BUILD_DIR / "lib" / "libslotscan.so.1"),
                          "PORTVEX_LIBRARY": str(BUILD_DIR / "lib" / "libportvex.so.1")}


@pytest.mark.parametrize("place", [build_tree, install_prefix, pip_target])
def test_example_finds_card_2_and_reads_a_register(place: Place, tmp_path: Path) -> None:
    site, env = place(tmp_path)
    assert (site / "slotscan" / "py.typed").is_file()
    rack = copy_rack(tmp_path, RACK3)
    clean = {k: v for k, v in os.environ.items()
             if k not in ("LD_LIBRARY_PATH", "SLOTSCAN_LIBRARY", "PORTVEX_LIBRARY")}
    done = subprocess.run([sys.executable, str(EXAMPLE)], capture_output=True, text=True,
                          env={**clean, **env, "PYTHONPATH": str(site),
                               "PORTVEX": f"sim:{rack}"}, cwd=tmp_path, timeout=120)
    assert done.returncode == 0, done.stderr
    card = rack_cards(rack=RACK3)[1]
    assert f"Card 2: index {card.index}, I/O base {card.io_base:#06x}, IRQ {card.irq}" \
        in done.stdout
    assert f"Register at {card.io_base:#06x}" in done.stdout
    assert f"Cards in table order: {[c.number for c in rack_cards(rack=RACK3)]}" in done.stdout
