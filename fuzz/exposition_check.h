// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// A strict reader of the Prometheus text exposition format, for the fuzz targets: the
// rules a writer must keep for every reader to take its text whole. Debian packages no
// C++ reader of the format (promtool, which the tests run on the bundled racks, is a
// program to start, too slow for every input).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace fuzz {

// Each sample of an exposition: "name{label=\"value\",...}" (labels in the order given)
// -> its value's text.
using Samples = std::map<std::string, std::string>;

// Empty when `text` keeps every rule, else the first rule it breaks and the line. Rules:
// UTF-8 throughout; lines end with a line feed, the last one too, none empty; "# HELP" and
// "# TYPE" at most once per family and before its samples, with a known type; a family's
// samples together and under its own name (histogram and summary suffixes aside); metric
// and label names of the allowed characters, no label name reserved ("__") or given twice;
// label values quoted, with only \\, \" and \n escaped; HELP text with only \\ and \n;
// values Go floats (or NaN, +Inf, -Inf) and timestamps integers; no series given twice.
std::string checkExposition(std::string_view text, Samples* samples = nullptr);

}  // namespace fuzz
