#pragma once
// The skin file format, version 3: what the generator writes and the engine reads. Plain C++, no Qt.
//
// All integers are little-endian. A file is a 24-byte header followed by a body of sections:
//
//   offset size  header field
//   0      6     signature ".SHE", 0, 3 (the 3 is the format version)
//   6      2     flags: bit 0 = locked by a password; every other bit is zero
//   8      4     lock: password_lock(password) when locked, else 0
//   12     4     body size: the number of bytes after the header (so the file is 24 + body size bytes)
//   16     4     CRC-32 (IEEE 802.3) of the body
//   20     4     number of sections in the body
//
// A section is a 4-byte ASCII tag, a 32-bit payload size and the payload. Tags:
//
//   "NAME"  the skin's display name, UTF-8                                         required, once
//   "PROP"  properties, UTF-8 lines "key=value" ('#' starts a comment line):       required, once
//             style=<base widget style, e.g. Fusion>
//             palette.<Role>=#rrggbb            the colour for every colour group
//             palette.<group>.<Role>=#rrggbb    group one of active, inactive, disabled
//           Roles are the toolkit's palette role names (Window, WindowText, Base, Text, Button, Highlight ...).
//   "QSS "  the style sheet, UTF-8                                                 required, once
//   "TILE"  a window background tile: u16 width, u16 height, then width*height      optional, once
//           RGB byte triples row by row (1..512 pixels each way)
//   "NOTE"  free text for people; readers ignore it                                 optional
//   "PAD "  zero bytes that bring a skin to the size its catalogue entry fixes;    optional, last
//           readers ignore it
//
// Readers skip sections with other tags, so later writers can add some. Anything else that does not fit the
// layout above (sizes that disagree, a section running past the body, a repeated or missing required section,
// a bad property line or colour, non-zero padding) makes the file malformed.
//
// The password lock keeps a skin from being used by accident with the wrong program; it is not encryption.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvelv::skin_format {

inline constexpr std::string_view signature{".SHE\0\3", 6};
inline constexpr std::size_t header_size = 24;
inline constexpr std::size_t section_header_size = 8;
inline constexpr std::size_t max_file_size = 4u << 20;      // the largest skin is far below this
inline constexpr std::size_t max_style_sheet_size = 512u << 10;
inline constexpr int max_tile_side = 512;

struct rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const rgb&, const rgb&) = default;
};

enum class colour_group { all, active, inactive, disabled };

struct palette_entry {
    colour_group group = colour_group::all;
    std::string role;  // one of palette_role_names()
    rgb colour;
};

struct tile_image {
    int width = 0, height = 0;
    std::string pixels;  // width * height RGB triples
};

struct skin_document {
    std::string name;
    std::string base_style;  // empty: keep the application's style
    std::vector<palette_entry> palette;
    std::string style_sheet;
    std::optional<tile_image> tile;
    std::string note;
};

enum class read_status { ok, bad_signature, unsupported_version, wrong_password, malformed };

struct read_result {
    read_status status = read_status::malformed;
    skin_document document;  // filled when status is ok
};

// The palette role names a skin may set, in the toolkit's spelling.
const std::vector<std::string_view>& palette_role_names();

std::uint32_t crc32(std::string_view bytes);
std::uint32_t password_lock(std::string_view password);

// "#rrggbb" (case-insensitive) or nothing.
std::optional<rgb> parse_colour(std::string_view text);
std::string colour_text(rgb colour);  // "#rrggbb"

// The file bytes of a document. An empty password leaves the skin unlocked. When pad_to_size is given, a "PAD "
// section brings the file to exactly that size; nothing is returned when the content does not leave room for it.
std::optional<std::string> write_skin(const skin_document& document, std::string_view password = {},
                                      std::optional<std::size_t> pad_to_size = std::nullopt);

// Checks and decodes a file's bytes. An unlocked skin accepts any password. Never throws on any content except
// std::bad_alloc.
read_result read_skin(std::string_view bytes, std::string_view password);

}  // namespace quorvelv::skin_format
