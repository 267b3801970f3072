#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Benchmark: slotscan.find() against the C library's GetIOBaseByCardNo on the bundled
racks rack3 (3 cards) and rack10 (10 cards, 9 in the table).

    PYTHONPATH=build/default/python python3 python/bench_find.py [ROUNDS]

Each rack runs in a process of its own (a process keeps one port layer), on a copy of the
rack. Both sides look up the last card of the table, in alternating rounds, so that both
see the same machine and load; the C function is called through ctypes, which adds a
microsecond or two to a call of several milliseconds. Prints the median time of each and
their ratio; the target is a ratio of 1.10 or less. Not a test: timings depend on the
machine, and a loaded machine gives figures worth nothing.
"""

from __future__ import annotations

import ctypes
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

RACKS = Path(__file__).resolve().parent.parent / "examples" / "racks"
TARGET = 1.10


def measure(rack: Path, rounds: int) -> None:
    """Runs in the child: times both lookups on `rack` and prints one line."""
    # The package as PYTHONPATH gives it, not the source folder beside this script.
    here = Path(__file__).resolve().parent
    sys.path[:] = [p for p in sys.path if Path(p or ".").resolve() != here]
    import slotscan
    from slotscan import _native

    slotscan.use_port_layer(f"sim:{rack}")
    last = slotscan.scan()[-1]
    c_lookup = _native.slotscan.GetIOBaseByCardNo
    c_lookup.restype = ctypes.c_int32
    c_lookup.argtypes = [ctypes.c_int32, ctypes.POINTER(ctypes.c_uint16),
                         ctypes.POINTER(ctypes.c_uint16)]
    io_base, irq = ctypes.c_uint16(), ctypes.c_uint16()

    def python_find() -> None:
        card = slotscan.find(last.number)
        assert card is not None and card.io_base == last.io_base

    def c_find() -> None:
        assert c_lookup(last.number, ctypes.byref(io_base), ctypes.byref(irq)) == 1
        assert io_base.value == last.io_base

    times: dict[str, list[float]] = {"python": [], "c": []}
    for _ in range(3):  # warm up: the first calls load and read the simulated PC
        python_find()
        c_find()
    for _ in range(rounds):
        for name, call in (("python", python_find), ("c", c_find)):
            start = time.perf_counter()
            call()
            times[name].append(time.perf_counter() - start)
    py, c = (statistics.median(times[n]) * 1000 for n in ("python", "c"))
    print(f"{rack.stem:<7} {len(slotscan.scan()):>5}  {py:>13.3f}  {c:>18.3f}  {py / c:>5.3f}"
          f"  {'ok' if py / c <= TARGET else 'OVER TARGET'}")


def main(argv: list[str]) -> int:
    if len(argv) == 4 and argv[1] == "--rack":
        measure(Path(argv[2]), int(argv[3]))
        return 0
    rounds = int(argv[1]) if len(argv) > 1 else 200
    print(f"Median of {rounds} lookups of the table's last card; target ratio <= {TARGET}")
    print("rack    cards  find() in ms  GetIOBaseByCardNo ms  ratio", flush=True)
    with tempfile.TemporaryDirectory(prefix="slotscan-bench-") as work:
        for name in ("rack3", "rack10"):
            rack = Path(shutil.copy(RACKS / f"{name}.toml", work))  # the image lands beside it
            done = subprocess.run([sys.executable, __file__, "--rack", str(rack), str(rounds)])
            if done.returncode != 0:
                return done.returncode
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
