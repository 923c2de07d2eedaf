// Builds the skin files 1.she .. N.she from the theme table and the style-sheet template.
//
//   quorvelv_skin_generator THEMES.tsv TEMPLATE.qss OUTPUT_DIRECTORY
//
// Each table row gives a skin's few key colours; the generator derives the rest (button gradients, borders,
// hover and pressed shades, disabled colours) so that all skins follow the same rules. A row "N =M" makes skin N
// the very same file as skin M. Every skin is padded to the size its row fixes; a row whose content does not fit
// its size stops the build.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/skin_format.hpp"

namespace {

namespace format = quorvelv::skin_format;
using format::rgb;

struct theme {
    int number = 0;
    int same_as = 0;  // non-zero: this skin is that skin's file
    std::string name;
    std::size_t size = 0;
    rgb window, base, text, accent;
    int radius = 0;
    std::string tile_kind;  // empty: no tile
    int tile_side = 0;
    int line = 0;
};

[[noreturn]] void fail(const std::string& message) {
    std::cerr << "skin_generator: " << message << "\n";
    std::exit(1);
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail("cannot read " + path.string());
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> fields_of(const std::string& line) {
    // Columns are separated by one or more tabs, so the table can be aligned.
    std::vector<std::string> fields;
    std::string field;
    for (const char c : line + '\t') {
        if (c != '\t') {
            field.push_back(c);
        } else if (!field.empty()) {
            fields.push_back(field);
            field.clear();
        }
    }
    return fields;
}

int number_in(const std::string& text, int line) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size()) return value;
    } catch (const std::exception&) {
    }
    fail("line " + std::to_string(line) + ": not a number: " + text);
}

rgb colour_in(const std::string& text, int line) {
    const auto colour = format::parse_colour(text);
    if (!colour) fail("line " + std::to_string(line) + ": not a colour #rrggbb: " + text);
    return *colour;
}

std::vector<theme> read_themes(const std::filesystem::path& path) {
    std::vector<theme> themes;
    std::istringstream lines(read_file(path));
    std::string text;
    int line = 0;
    while (std::getline(lines, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const auto fields = fields_of(text);
        if (fields.empty() || fields[0][0] == '#') continue;
        theme row;
        row.line = line;
        row.number = number_in(fields[0], line);
        if (fields.size() == 2 && fields[1][0] == '=') {
            row.same_as = number_in(fields[1].substr(1), line);
        } else {
            if (fields.size() != 9) fail("line " + std::to_string(line) + ": expected 9 columns");
            row.name = fields[1];
            row.size = static_cast<std::size_t>(number_in(fields[2], line));
            row.window = colour_in(fields[3], line);
            row.base = colour_in(fields[4], line);
            row.text = colour_in(fields[5], line);
            row.accent = colour_in(fields[6], line);
            row.radius = number_in(fields[7], line);
            if (fields[8] != "-") {
                const auto slash = fields[8].find('/');
                if (slash == std::string::npos) fail("line " + std::to_string(line) + ": tile is KIND/SIDE or -");
                row.tile_kind = fields[8].substr(0, slash);
                row.tile_side = number_in(fields[8].substr(slash + 1), line);
            }
        }
        themes.push_back(row);
    }
    return themes;
}

// Colour arithmetic in plain sRGB: good enough for shades of one colour.
rgb mix(rgb from, rgb to, double amount) {
    const auto blend = [amount](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * amount));
    };
    return {blend(from.red, to.red), blend(from.green, to.green), blend(from.blue, to.blue)};
}

double luminance(rgb colour) {
    return (0.2126 * colour.red + 0.7152 * colour.green + 0.0722 * colour.blue) / 255.0;
}

constexpr rgb white{255, 255, 255};
constexpr rgb black{0, 0, 0};

struct shades {
    std::map<std::string, rgb> colours;
    bool dark = false;
};

shades shades_of(const theme& row) {
    shades s;
    s.dark = luminance(row.window) < 0.4;
    auto& c = s.colours;
    c["window"] = row.window;
    c["base"] = row.base;
    c["text"] = row.text;
    c["accent"] = row.accent;
    c["accent_deep"] = mix(row.accent, black, 0.25);
    c["highlighted_text"] = luminance(row.accent) > 0.6 ? rgb{0x10, 0x10, 0x10} : white;
    if (s.dark) {
        c["button_top"] = mix(row.window, white, 0.16);
        c["button_bottom"] = mix(row.window, white, 0.07);
        c["header_top"] = mix(row.window, white, 0.12);
        c["header_bottom"] = mix(row.window, white, 0.05);
    } else {
        c["button_top"] = mix(row.window, white, 0.75);
        c["button_bottom"] = mix(row.window, black, 0.03);
        c["header_top"] = mix(row.window, white, 0.85);
        c["header_bottom"] = mix(row.window, white, 0.2);
    }
    c["hover_top"] = mix(c["button_top"], row.accent, 0.10);
    c["hover_bottom"] = mix(c["button_bottom"], row.accent, 0.14);
    c["pressed"] = mix(row.window, row.accent, 0.28);
    c["border"] = mix(row.window, row.text, 0.32);
    c["border_soft"] = mix(row.window, row.text, 0.16);
    c["border_hover"] = mix(c["border"], row.accent, 0.5);
    c["disabled_text"] = mix(row.text, row.window, 0.55);
    c["disabled_fill"] = mix(row.window, row.base, 0.4);
    c["alternate"] = mix(row.base, row.window, 0.4);
    c["groove"] = mix(row.window, row.base, 0.5);
    c["handle"] = mix(row.window, row.text, 0.28);
    c["handle_hover"] = mix(row.window, row.accent, 0.6);
    c["tooltip"] = mix(row.base, row.accent, 0.08);
    c["placeholder"] = mix(row.text, row.base, 0.55);
    c["inactive_highlight"] = mix(row.accent, row.base, 0.72);
    return s;
}

std::string style_sheet_of(const theme& row, const shades& s, const std::string& template_text) {
    std::map<std::string, std::string> values;
    for (const auto& [key, colour] : s.colours) values[key] = format::colour_text(colour);
    values["name"] = "Skin " + std::to_string(row.number) + " \"" + row.name + "\"";
    values["radius"] = std::to_string(row.radius);
    values["field_radius"] = std::to_string(std::min(row.radius, 3));

    std::string out;
    std::size_t at = 0;
    while (at < template_text.size()) {
        const auto open = template_text.find('@', at);
        if (open == std::string::npos) {
            out.append(template_text, at);
            break;
        }
        const auto close = template_text.find('@', open + 1);
        if (close == std::string::npos) fail("unclosed @ in the template");
        const auto key = template_text.substr(open + 1, close - open - 1);
        const auto value = values.find(key);
        if (value == values.end()) fail("the template names an unknown value @" + key + "@");
        out.append(template_text, at, open - at);
        out += value->second;
        at = close + 1;
    }
    return out;
}

std::vector<format::palette_entry> palette_of(const shades& s) {
    const auto& c = s.colours;
    using format::colour_group;
    const auto entry = [&](colour_group group, const char* role, const std::string& shade) {
        return format::palette_entry{group, role, c.at(shade)};
    };
    const auto all = colour_group::all;
    std::vector<format::palette_entry> palette{
        entry(all, "Window", "window"),           entry(all, "WindowText", "text"),
        entry(all, "Base", "base"),               entry(all, "AlternateBase", "alternate"),
        entry(all, "Text", "text"),               entry(all, "Button", "button_bottom"),
        entry(all, "ButtonText", "text"),         entry(all, "Highlight", "accent"),
        entry(all, "HighlightedText", "highlighted_text"),
        entry(all, "ToolTipBase", "tooltip"),     entry(all, "ToolTipText", "text"),
        entry(all, "PlaceholderText", "placeholder"),
        entry(all, "Light", "button_top"),        entry(all, "Midlight", "header_bottom"),
        entry(all, "Mid", "border_soft"),         entry(all, "Dark", "border"),
        entry(all, "Shadow", "accent_deep"),      entry(all, "Link", "accent"),
        entry(all, "LinkVisited", "accent_deep"),
        entry(colour_group::inactive, "Highlight", "inactive_highlight"),
        entry(colour_group::inactive, "HighlightedText", "text"),
        entry(colour_group::disabled, "WindowText", "disabled_text"),
        entry(colour_group::disabled, "Text", "disabled_text"),
        entry(colour_group::disabled, "ButtonText", "disabled_text"),
        entry(colour_group::disabled, "Base", "disabled_fill"),
    };
    palette.push_back({all, "BrightText", s.dark ? black : white});
    return palette;
}

// A small repeating texture around the window colour: quiet enough to sit behind text.
format::tile_image tile_of(const theme& row) {
    if (row.tile_side < 1 || row.tile_side > format::max_tile_side)
        fail("line " + std::to_string(row.line) + ": tile side out of range");
    format::tile_image tile;
    tile.width = tile.height = row.tile_side;
    std::uint32_t state = 0x9E3779B9u ^ static_cast<std::uint32_t>(row.number) * 2654435761u;
    const auto noise = [&state](int amplitude) {  // xorshift32, an even spread in [-amplitude, amplitude]
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % static_cast<std::uint32_t>(2 * amplitude + 1)) - amplitude;
    };
    const int side = row.tile_side;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            int shift = 0;
            if (row.tile_kind == "grain") {
                shift = noise(2);
            } else if (row.tile_kind == "linen") {
                shift = (y % 3 == 0 ? -2 : 0) + (x % 3 == 0 ? -1 : 0) + noise(1);
            } else if (row.tile_kind == "pinstripe") {
                shift = ((x + y) % 6 == 0 ? -3 : 0) + noise(1);
            } else {
                fail("line " + std::to_string(row.line) + ": unknown tile kind " + row.tile_kind);
            }
            for (const std::uint8_t part : {row.window.red, row.window.green, row.window.blue})
                tile.pixels.push_back(static_cast<char>(std::clamp(part + shift, 0, 255)));
        }
    }
    return tile;
}

std::string note_of(const theme& row) {
    std::string note = "Skin " + std::to_string(row.number) + " \"" + row.name + "\" of the Quorvelv skin set. ";
    note += "Window " + format::colour_text(row.window) + ", fields " + format::colour_text(row.base) + ", text " +
            format::colour_text(row.text) + ", accent " + format::colour_text(row.accent) + ", corners " +
            std::to_string(row.radius) + " px";
    if (!row.tile_kind.empty())
        note += ", " + row.tile_kind + " tile of " + std::to_string(row.tile_side) + " px";
    note += ". Made from resources/skins/themes.tsv and resources/skins/skin.qss.\n";
    return note;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) fail("usage: quorvelv_skin_generator THEMES.tsv TEMPLATE.qss OUTPUT_DIRECTORY");
    const auto themes = read_themes(argv[1]);
    const auto template_text = read_file(argv[2]);
    const std::filesystem::path output = argv[3];
    std::filesystem::create_directories(output);

    std::map<int, std::string> files;
    bool too_small = false;
    for (const auto& row : themes) {
        if (row.same_as != 0 || files.contains(row.number)) continue;
        const auto s = shades_of(row);
        format::skin_document document;
        document.name = row.name;
        document.base_style = "Fusion";
        document.palette = palette_of(s);
        document.style_sheet = style_sheet_of(row, s, template_text);
        if (!row.tile_kind.empty()) document.tile = tile_of(row);
        document.note = note_of(row);
        const auto bytes = format::write_skin(document, {}, row.size);
        if (!bytes) {
            const auto needed = format::write_skin(document)->size() + format::section_header_size;
            std::cerr << "skin_generator: skin " << row.number << " needs at least " << needed
                      << " bytes, its row gives " << row.size << "\n";
            too_small = true;
            continue;
        }
        files[row.number] = *bytes;
    }
    if (too_small) return 1;
    for (const auto& row : themes) {
        if (row.same_as == 0) continue;
        const auto original = files.find(row.same_as);
        if (original == files.end()) fail("line " + std::to_string(row.line) + ": no skin " +
                                          std::to_string(row.same_as) + " to share");
        files[row.number] = original->second;
    }
    for (int number = 1; number <= static_cast<int>(files.size()); ++number) {
        if (!files.contains(number)) fail("the table has no skin " + std::to_string(number));
        const auto path = output / (std::to_string(number) + ".she");
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << files[number];
        if (!out.flush()) fail("cannot write " + path.string());
    }
    return 0;
}
