# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

"""Where the Slotscan libraries were installed beside this package.

CMake writes its own copy of this file into the build tree and into the installed package:
LIBRARY_DIR is then the folder holding libslotscan.so.1 and libportvex.so.1, absolute or
relative to this package's folder. None (this copy, as pip installs it) means no such
folder is known and the system search alone finds the libraries.
"""

from __future__ import annotations

LIBRARY_DIR: str | None = None
