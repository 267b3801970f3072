// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Load entry of Slotscan.dll. Nothing to set up or tear down: the default filter and the
// card name are constant data and the card table starts zeroed, so no reason touches a port.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
