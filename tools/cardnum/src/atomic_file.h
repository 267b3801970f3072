// Writing a result file that readers (node_exporter's textfile collector, say) see whole:
// the old file or the new one, never part of either.
#pragma once

#include <filesystem>
#include <string_view>

namespace cardnum {

// Writes `text` to a temporary file in the folder of `target` (".NAME.tmp-XXXXXX", which no
// "*.prom" glob matches), flushes it to disk, gives it mode 0644 (the collector runs as
// its own user) and renames it over `target`. On failure the temporary file is removed,
// `target` is left as it was, and std::runtime_error says why, naming the file.
void replaceFileAtomically(const std::filesystem::path& target, std::string_view text);

}  // namespace cardnum
