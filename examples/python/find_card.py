#!/usr/bin/env python3
"""Find a card by its number and read a 32-bit register at its I/O base.

    PORTVEX=sim:rack3.toml python3 find_card.py [NUMBER [OFFSET]]

NUMBER defaults to 2 and OFFSET (from the card's I/O base, 0x prefix for hex) to 0.
"""

from __future__ import annotations

import sys

import slotscan


def main(argv: list[str]) -> int:
    number = int(argv[1], 0) if len(argv) > 1 else 2
    offset = int(argv[2], 0) if len(argv) > 2 else 0

    port = slotscan.port_status()
    print(f"Port access: {port.backend}" + ("" if port.ready else f" (not ready: {port.status})"))
    print(f"Cards in table order: {slotscan.cards()}")

    card = slotscan.find(number)
    if card is None:
        print(f"Card {number}: not found", file=sys.stderr)
        return 1
    print(f"Card {card.number}: index {card.index}, I/O base {card.io_base:#06x}, IRQ {card.irq}")
    value = card.read(offset)
    print(f"Register at {card.io_base + offset:#06x} (I/O base + {offset:#x}): {value:#010x}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
