"""Finding the libraries: environment, the installed folder, the system search."""

from __future__ import annotations

import shutil
from pathlib import Path

import pytest
from conftest import run_python

import slotscan
from slotscan import _native

IMPORT = "import slotscan"


def test_build_tree_package_finds_the_built_libraries() -> None:
    assert _native.installed_dir() is not None
    assert Path(_native.slotscan._name).parent == Path(_native.installed_dir() or "")
    assert Path(_native.portvex._name).parent == Path(_native.installed_dir() or "")


@pytest.mark.parametrize("variable", ["SLOTSCAN_LIBRARY", "PORTVEX_LIBRARY"])
def test_library_named_in_environment_is_the_one_loaded(variable: str, tmp_path: Path) -> None:
    handle = variable.split("_")[0].lower()          # _native.slotscan or _native.portvex
    built = getattr(_native, handle)._name
    copy = Path(shutil.copy(built, tmp_path / Path(built).name))
    simulator = Path(built).parent / "libsimpc.so"    # the port layer's simulated PC
    if simulator.exists():
        shutil.copy(simulator, tmp_path)
    done = run_python(f"{IMPORT}; print(slotscan._native.{handle}._name)",
                      {variable: str(copy), "PORTVEX": "none"})
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == str(copy)

    missing = tmp_path / "nowhere" / Path(built).name
    done = run_python(IMPORT, {variable: str(missing), "PORTVEX": "none"})
    assert "ImportError" in done.stderr
    assert f"{missing} (from {variable})" in done.stderr


def test_missing_library_names_every_place_looked(tmp_path: Path) -> None:
    # A copy of the package whose installed folder holds no library, and no system search.
    package = Path(slotscan.__file__).parent
    shutil.copytree(package, tmp_path / "slotscan")
    empty = tmp_path / "lib"
    empty.mkdir()
    (tmp_path / "slotscan" / "_paths.py").write_text(f"LIBRARY_DIR = {str(empty)!r}\n")
    done = run_python(IMPORT, {"PYTHONPATH": str(tmp_path), "LD_LIBRARY_PATH": "",
                               "PORTVEX_LIBRARY": "", "SLOTSCAN_LIBRARY": ""})
    if "ImportError" not in done.stderr:
        pytest.skip("this system finds libportvex.so.1 by itself (installed system-wide)")
    assert "libportvex.so.1 not found" in done.stderr
    assert str(empty / "libportvex.so.1") in done.stderr
    assert "PORTVEX_LIBRARY (not set)" in done.stderr
