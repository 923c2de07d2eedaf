#pragma once
// The skin step: the carried skin is written to the temporary-files directory and handed to the skin engine
// library "hrttp.dll", which from then on draws every window of the program with it.

#include <cstdint>
#include <string>

namespace quorvelv {

// Writes skin `number` (when 1 to 56) to skin_file_path(), then calls the engine's SkinH_AttachEx with that path
// and an empty password, ignoring its result. The engine is loaded at the first call (program_directory() +
// "/hrttp.dll", else the standard library search) and kept; without it, or without the function, the program
// ends in a fatal stop. User-interface thread only.
void apply_skin(std::int32_t number);

// The temporary-files directory with a trailing separator, then "1.she"; "1.she" alone (in the working
// directory) when there is no temporary-files directory. In the file system's encoding.
std::string skin_file_path();

// The shutdown's step: unloads the engine library when it was loaded.
void unload_skin_engine();

}  // namespace quorvelv
