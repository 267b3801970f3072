// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A Portvex.dll with the two port operations and nothing else, as port drivers' own DLLs
// may be: it reaches no machine (reads give 0xFFFFFFFF). cardnum.exe must load and run
// with it, and say that it reports no status.
#include <portvex.h>

extern "C" uint32_t PORTVEX_CALL inportdw(uint32_t) {
    return 0xFFFFFFFFu;
}

extern "C" void PORTVEX_CALL outportdw(uint32_t, uint32_t) {}
