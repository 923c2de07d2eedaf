#pragma once
// The skin engine library written next to the program at start, and the safe way both start-up files are put
// in place.

#include <string>
#include <string_view>

namespace quorvelv {

// Writes the carried engine library as program_directory() + "/hrttp.dll". A file there with the same bytes is
// left untouched; any other is replaced by renaming a new file over it, never rewritten in place, because a
// second running instance may have it loaded. Failures are silent: the skin step finds out by loading it.
void write_engine_file();

// Puts `bytes` at `path` without ever opening what is already there: a new file is created exclusively under a
// random name in the same directory, written whole and renamed over `path`. So a symbolic link or a file that
// someone else planted at `path` is replaced, never written through, and a reader of the old file keeps it.
// False (and nothing left behind) when any step fails.
bool replace_file(const std::string& path, std::string_view bytes, unsigned permissions);

}  // namespace quorvelv
