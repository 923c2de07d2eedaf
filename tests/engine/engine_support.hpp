#pragma once
// Shared by the engine tests: the built engine library loaded the way the program loads it, and skin files.

#include <string>
#include <string_view>

#include <QString>

#include "engine/skin_engine.hpp"
#include "engine/skin_format.hpp"

namespace quorvelv::testing {

// SkinH_AttachEx of the engine library this build made, loaded once with QLibrary.
skin_attach_function built_engine_attach();

// A small complete skin: a known window colour, a style sheet with a marker, a tile.
skin_format::skin_document sample_skin();

// Writes bytes to a new file at path (the test's own directory).
void write_bytes(const QString& path, std::string_view bytes);
std::string read_bytes(const QString& path);

}  // namespace quorvelv::testing
