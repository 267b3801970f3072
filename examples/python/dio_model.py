#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""A card model in Python: the DIO-32 of dio32.toml with a broken input, run under the
self-test.

    PORTVEX=sim:dio32.toml python3 dio_model.py [STUCK_CHANNEL]

The model replaces the card's rack registers: input channel STUCK_CHANNEL (default 7) always
reads 0, as with a broken wire in the test plug, and the self-test reports it.
"""

from __future__ import annotations

import sys
import time

import dio_selftest
import slotscan.simulated


class Dio32:
    """ID, outputs looped back to the inputs with one channel stuck at 0, a conversion."""

    def __init__(self, stuck_channel: int) -> None:
        self.outputs, self.stuck, self.busy_reads = 0, 1 << stuck_channel, 0

    def read(self, offset: int) -> int:
        if offset == dio_selftest.ADCCTRL and self.busy_reads > 0:
            self.busy_reads -= 1
            return dio_selftest.ADC_BUSY
        return {dio_selftest.ID: 0xD1032001, dio_selftest.DIN: self.outputs & ~self.stuck,
                dio_selftest.TIMER: time.perf_counter_ns() // 1000 & 0xFFFFFFFF,
                dio_selftest.ADCDATA: 0x800}.get(offset, 0)

    def write(self, offset: int, value: int) -> None:
        if offset == dio_selftest.DOUT:
            self.outputs = value
        elif offset == dio_selftest.ADCCTRL:
            self.busy_reads = 2


if __name__ == "__main__":
    slotscan.simulated.attach(1, Dio32(int(sys.argv[1]) if len(sys.argv) > 1 else 7))
    sys.exit(dio_selftest.main(["dio_selftest.py", "1"]))
