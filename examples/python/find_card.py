#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""List the cards, find one by its number and read a 32-bit register at its I/O base.

    PORTVEX=sim:rack3.toml python3 find_card.py [NUMBER [OFFSET]]

NUMBER defaults to 2 and OFFSET (from the card's I/O base, 0x prefix for hex) to 0.
"""

from __future__ import annotations

import sys

import slotscan


def main(argv: list[str]) -> int:
    number = int(argv[1], 0) if len(argv) > 1 else 2
    offset = int(argv[2], 0) if len(argv) > 2 else 0

    print(f"slotscan {slotscan.__version__}")
    port = slotscan.port_status()
    print(f"Port access: {port.backend}" + ("" if port.ready else f" (not ready: {port.status})"))
    try:
        table = slotscan.scan()  # every card, from one scan of the buses
        print(f"Cards in table order: {[card.number for card in table]}")
        for card in table:
            print(f"  #{card.index}  card {card.number}  I/O base {card.io_base:#06x}  "
                  f"IRQ {card.irq}  slot {card.slot}")

        found = slotscan.find(number)
        if found is None:
            print(f"Card {number}: not found", file=sys.stderr)
            return 1
        print(f"Card {found.number}: index {found.index}, I/O base {found.io_base:#06x}, "
              f"IRQ {found.irq}")
        value = found.read(offset)
    except slotscan.PortAccessError as error:
        print(f"No port access: {error.reason}", file=sys.stderr)
        return 2
    print(f"Register at {found.io_base + offset:#06x} (I/O base + {offset:#x}): {value:#010x}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
