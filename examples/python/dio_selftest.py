#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Self-test of a 32-channel digital I/O card with its test plug fitted.

    PORTVEX=sim:dio32.toml python3 dio_selftest.py [NUMBER]

Finds the card by its number (default 1), checks its ID, writes patterns to the outputs and
reads them back through the plug, clears the interrupt flags, times the free-running counter
and runs a conversion. The register map is that of examples/racks/dio32.toml. Exit status 0
when every check passes, 1 when one fails, 2 when the card is not found.
"""

from __future__ import annotations

import sys
import time

import slotscan

ID, DOUT, DIN, INTSTAT, TIMER, ADCCTRL, ADCDATA = range(0, 0x1C, 4)
BOARD_ID = 0xD103
ADC_BUSY = 1 << 31
TIMER_HZ = 1_000_000


def patterns() -> list[int]:
    walking = [1 << bit for bit in range(32)]
    return [0x00000000, 0xFFFFFFFF, 0xAAAAAAAA, 0x55555555, *walking,
            *(~w & 0xFFFFFFFF for w in walking)]


def main(argv: list[str]) -> int:
    number = int(argv[1], 0) if len(argv) > 1 else 1
    card = slotscan.find(number)
    if card is None:
        print(f"Card {number}: not found ({slotscan.port_status().status})", file=sys.stderr)
        return 2
    print(f"Card {card.number}: I/O base {card.io_base:#06x}, IRQ {card.irq}")
    failures = checks = 0

    def check(name: str, ok: bool, detail: str) -> None:
        nonlocal failures, checks
        failures += not ok
        checks += 1
        print(f"  {name:<10} {'ok  ' if ok else 'FAIL'}  {detail}")

    ident = card.read(ID)
    check("ID", ident >> 16 == BOARD_ID,
          f"board {ident >> 16:#06x}, {ident >> 8 & 0xFF} channels, revision {ident & 0xFF}")

    wrong = 0
    for pattern in patterns():
        card.write(DOUT, pattern)
        wrong |= card.read(DIN) ^ pattern
    card.write(DOUT, 0)
    check("loopback", wrong == 0, f"{len(patterns())} patterns, channels differing: {wrong:#010x}")

    pending = card.read(INTSTAT)
    card.write(INTSTAT, pending)
    after = card.read(INTSTAT)
    check("interrupts", after == 0, f"pending {pending:#x}, after clearing {after:#x}")

    start_count, start = card.read(TIMER), time.perf_counter()
    time.sleep(0.05)
    ticks, seconds = (card.read(TIMER) - start_count) & 0xFFFFFFFF, time.perf_counter() - start
    rate = ticks / seconds
    check("timer", abs(rate - TIMER_HZ) < 0.05 * TIMER_HZ, f"{rate / 1e6:.2f} MHz")

    channel = 3
    card.write(ADCCTRL, channel)
    polls = 1
    while card.read(ADCCTRL) & ADC_BUSY and polls < 1000:
        polls += 1
    value = card.read(ADCDATA) & 0xFFF
    check("conversion", polls < 1000,
          f"channel {channel} ready after {polls} polls: {value:#05x} ({value * 10 / 4096:.3f} V)")

    print(f"Self-test passed: {checks} of {checks} checks" if failures == 0 else
          f"Self-test FAILED: {failures} of {checks} checks")
    return 0 if failures == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
