// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

// The project builds with hidden visibility; everything another module may use is marked here.
#define SIMPC_API __attribute__((visibility("default")))
