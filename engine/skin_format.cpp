#include "engine/skin_format.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace quorvelv::skin_format {
namespace {

constexpr std::uint16_t locked_flag = 1;
constexpr std::string_view lock_salt = "quorvelv-skin:";

constexpr std::string_view tag_name = "NAME";
constexpr std::string_view tag_properties = "PROP";
constexpr std::string_view tag_style_sheet = "QSS ";
constexpr std::string_view tag_tile = "TILE";
constexpr std::string_view tag_note = "NOTE";
constexpr std::string_view tag_padding = "PAD ";

void put_u16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put_u32(std::string& out, std::uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

std::uint32_t get_u16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

std::uint32_t get_u32(std::string_view bytes, std::size_t at) {
    return get_u16(bytes, at) | get_u16(bytes, at + 2) << 16;
}

void put_section(std::string& body, std::string_view tag, std::string_view payload) {
    body.append(tag);
    put_u32(body, static_cast<std::uint32_t>(payload.size()));
    body.append(payload);
}

std::string_view group_prefix(colour_group group) {
    switch (group) {
        case colour_group::active: return "palette.active.";
        case colour_group::inactive: return "palette.inactive.";
        case colour_group::disabled: return "palette.disabled.";
        case colour_group::all: break;
    }
    return "palette.";
}

bool is_role_name(std::string_view name) {
    const auto& names = palette_role_names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool read_properties(std::string_view text, skin_document& document) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) return false;
        const auto key = trimmed(line.substr(0, equals));
        const auto value = trimmed(line.substr(equals + 1));
        if (key == "style") {
            document.base_style = std::string(value);
            continue;
        }
        if (!key.starts_with("palette.")) continue;  // a property of a later writer
        palette_entry entry;
        std::string_view role = key.substr(std::string_view("palette.").size());
        for (const auto group : {colour_group::active, colour_group::inactive, colour_group::disabled}) {
            if (key.starts_with(group_prefix(group))) {
                entry.group = group;
                role = key.substr(group_prefix(group).size());
            }
        }
        const auto colour = parse_colour(value);
        if (!colour || !is_role_name(role)) return false;
        entry.role = std::string(role);
        entry.colour = *colour;
        document.palette.push_back(std::move(entry));
    }
    return true;
}

std::optional<tile_image> read_tile(std::string_view payload) {
    if (payload.size() < 4) return std::nullopt;
    tile_image tile;
    tile.width = static_cast<int>(get_u16(payload, 0));
    tile.height = static_cast<int>(get_u16(payload, 2));
    if (tile.width < 1 || tile.height < 1 || tile.width > max_tile_side || tile.height > max_tile_side)
        return std::nullopt;
    if (payload.size() - 4 != static_cast<std::size_t>(tile.width) * static_cast<std::size_t>(tile.height) * 3)
        return std::nullopt;
    tile.pixels = std::string(payload.substr(4));
    return tile;
}

}  // namespace

const std::vector<std::string_view>& palette_role_names() {
    static const std::vector<std::string_view> names{
        "WindowText", "Button", "Light", "Midlight", "Dark", "Mid", "Text", "BrightText", "ButtonText", "Base",
        "Window", "Shadow", "Highlight", "HighlightedText", "Link", "LinkVisited", "AlternateBase", "ToolTipBase",
        "ToolTipText", "PlaceholderText"};
    return names;
}

std::uint32_t crc32(std::string_view bytes) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t password_lock(std::string_view password) {
    // FNV-1a over the salt and the password; never 0, which marks an unlocked skin.
    std::uint32_t hash = 2166136261u;
    for (const std::string_view part : {lock_salt, password}) {
        for (const char byte : part) {
            hash ^= static_cast<unsigned char>(byte);
            hash *= 16777619u;
        }
    }
    return hash == 0 ? 1 : hash;
}

std::optional<rgb> parse_colour(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::array<int, 6> digits{};
    for (std::size_t i = 0; i < 6; ++i) {
        const char c = text[i + 1];
        if (c >= '0' && c <= '9') digits[i] = c - '0';
        else if (c >= 'a' && c <= 'f') digits[i] = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digits[i] = c - 'A' + 10;
        else return std::nullopt;
    }
    return rgb{static_cast<std::uint8_t>(digits[0] * 16 + digits[1]),
               static_cast<std::uint8_t>(digits[2] * 16 + digits[3]),
               static_cast<std::uint8_t>(digits[4] * 16 + digits[5])};
}

std::string colour_text(rgb colour) {
    constexpr std::string_view hex = "0123456789abcdef";
    std::string text = "#";
    for (const std::uint8_t part : {colour.red, colour.green, colour.blue}) {
        text.push_back(hex[part >> 4]);
        text.push_back(hex[part & 0xF]);
    }
    return text;
}

std::optional<std::string> write_skin(const skin_document& document, std::string_view password,
                                      std::optional<std::size_t> pad_to_size) {
    std::string properties;
    if (!document.base_style.empty()) properties += "style=" + document.base_style + "\n";
    for (const auto& entry : document.palette)
        properties += std::string(group_prefix(entry.group)) + entry.role + "=" + colour_text(entry.colour) + "\n";

    std::string body;
    std::uint32_t sections = 3;
    put_section(body, tag_name, document.name);
    put_section(body, tag_properties, properties);
    put_section(body, tag_style_sheet, document.style_sheet);
    if (document.tile) {
        std::string payload;
        put_u16(payload, static_cast<std::uint32_t>(document.tile->width));
        put_u16(payload, static_cast<std::uint32_t>(document.tile->height));
        payload += document.tile->pixels;
        put_section(body, tag_tile, payload);
        ++sections;
    }
    if (!document.note.empty()) {
        put_section(body, tag_note, document.note);
        ++sections;
    }
    if (pad_to_size) {
        const std::size_t used = header_size + body.size() + section_header_size;
        if (*pad_to_size < used) return std::nullopt;
        put_section(body, tag_padding, std::string(*pad_to_size - used, '\0'));
        ++sections;
    }

    std::string file(signature);
    put_u16(file, password.empty() ? 0 : locked_flag);
    put_u32(file, password.empty() ? 0 : password_lock(password));
    put_u32(file, static_cast<std::uint32_t>(body.size()));
    put_u32(file, crc32(body));
    put_u32(file, sections);
    return file + body;
}

read_result read_skin(std::string_view bytes, std::string_view password) {
    read_result result;
    if (bytes.size() < 5 || bytes.substr(0, 5) != signature.substr(0, 5)) {
        result.status = read_status::bad_signature;
        return result;
    }
    if (bytes.size() < 6 || bytes[5] != signature[5]) {
        result.status = bytes.size() < 6 ? read_status::bad_signature : read_status::unsupported_version;
        return result;
    }
    result.status = read_status::malformed;
    if (bytes.size() < header_size || bytes.size() > max_file_size) return result;
    const auto flags = get_u16(bytes, 6);
    const auto lock = get_u32(bytes, 8);
    const auto body = bytes.substr(header_size);
    if ((flags & ~locked_flag) != 0 || ((flags & locked_flag) == 0) != (lock == 0)) return result;
    if (get_u32(bytes, 12) != body.size() || get_u32(bytes, 16) != crc32(body)) return result;
    if ((flags & locked_flag) != 0 && lock != password_lock(password)) {
        result.status = read_status::wrong_password;
        return result;
    }

    skin_document document;
    bool seen_name = false, seen_properties = false, seen_style_sheet = false, seen_tile = false;
    const std::size_t count = get_u32(bytes, 20);
    std::size_t at = 0;
    for (std::size_t index = 0; index < count; ++index) {
        if (body.size() - at < section_header_size) return result;
        const auto tag = body.substr(at, 4);
        const std::size_t size = get_u32(body, at + 4);
        at += section_header_size;
        if (body.size() - at < size) return result;
        const auto payload = body.substr(at, size);
        at += size;
        if (tag == tag_name) {
            if (std::exchange(seen_name, true)) return result;
            document.name = std::string(payload);
        } else if (tag == tag_properties) {
            if (std::exchange(seen_properties, true) || !read_properties(payload, document)) return result;
        } else if (tag == tag_style_sheet) {
            if (std::exchange(seen_style_sheet, true) || size > max_style_sheet_size) return result;
            document.style_sheet = std::string(payload);
        } else if (tag == tag_tile) {
            if (std::exchange(seen_tile, true)) return result;
            document.tile = read_tile(payload);
            if (!document.tile) return result;
        } else if (tag == tag_note) {
            document.note.append(payload);
        } else if (tag == tag_padding) {
            if (index + 1 != count || payload.find_first_not_of('\0') != std::string_view::npos) return result;
        }
    }
    if (at != body.size() || !seen_name || !seen_properties || !seen_style_sheet) return result;
    result.status = read_status::ok;
    result.document = std::move(document);
    return result;
}

}  // namespace quorvelv::skin_format
