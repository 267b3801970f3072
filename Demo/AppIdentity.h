// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Cardpeek's name, version and icon, as the desktop and the window system see them.
#pragma once

#include <QIcon>

namespace AppIdentity {

// The icon drawn for Cardpeek, at 16x16 and 32x32.
QIcon icon();

// Names the running application Cardpeek 1.00, ties it to cardpeek.desktop and
// gives its windows the icon. Call once the application object exists.
void apply();

}  // namespace AppIdentity
