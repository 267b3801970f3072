# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Finding the libraries: the environment first, then the installed folder, the system."""

from __future__ import annotations

import shutil
from pathlib import Path

import pytest
from conftest import run_python

import slotscan
from slotscan import _native


@pytest.mark.parametrize("variable", ["SLOTSCAN_LIBRARY", "PORTVEX_LIBRARY"])
def test_library_named_in_environment_is_the_one_loaded(variable: str, tmp_path: Path) -> None:
    handle = variable.split("_")[0].lower()          # _native.slotscan or _native.portvex
    built = Path(getattr(_native, handle)._name)
    shutil.copy(built, tmp_path)  # libportvex needs only the C and C++ runtimes
    done = run_python(f"import slotscan; print(slotscan._native.{handle}._name)",
                      {variable: str(tmp_path / built.name), "PORTVEX": "none"})
    assert done.stdout.strip() == str(tmp_path / built.name), done.stderr
    missing = tmp_path / "nowhere" / built.name
    done = run_python("import slotscan", {variable: str(missing), "PORTVEX": "none"})
    assert f"ImportError: cannot load {missing} (from {variable})" in done.stderr


def test_missing_library_names_every_place_looked(tmp_path: Path) -> None:
    # A copy of the package whose installed folder is empty, without the system search.
    shutil.copytree(Path(slotscan.__file__).parent, tmp_path / "slotscan")
    (tmp_path / "slotscan" / "_paths.py").write_text(f"LIBRARY_DIR = {str(tmp_path)!r}\n")
    done = run_python("import slotscan", {"PYTHONPATH": str(tmp_path), "LD_LIBRARY_PATH": "",
                                          "PORTVEX_LIBRARY": "", "SLOTSCAN_LIBRARY": ""})
    if "ImportError" not in done.stderr:
        pytest.skip("this system finds libportvex.so.1 by itself (installed system-wide)")
    for looked in ["PORTVEX_LIBRARY (not set)", str(tmp_path / "libportvex.so.1"),
                   "libportvex.so.1 through the system search"]:
        assert looked in done.stderr
