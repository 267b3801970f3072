// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#pragma once

#include "simpc/card_registers.h"
#include "simpc/device.h"
#include "simpc/eeprom93c46.h"
#include "simpc/eeprom_store.h"
#include "simpc/generic_device.h"
#include "simpc/limits.h"
#include "simpc/machine.h"
#include "simpc/pci_address.h"
#include "simpc/plx9050_card.h"
#include "simpc/rack.h"
