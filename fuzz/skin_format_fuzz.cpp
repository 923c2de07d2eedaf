// Any bytes given to the skin reader must be refused or decoded without a crash, and a document the writer
// makes must read back as the same document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "engine/skin_format.hpp"

namespace sf = quorvelv::skin_format;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool same_document(const sf::skin_document& a, const sf::skin_document& b) {
    if (a.name != b.name || a.base_style != b.base_style || a.style_sheet != b.style_sheet || a.note != b.note)
        return false;
    if (a.palette.size() != b.palette.size() || a.tile.has_value() != b.tile.has_value()) return false;
    if (a.tile && (a.tile->width != b.tile->width || a.tile->height != b.tile->height ||
                   a.tile->pixels != b.tile->pixels))
        return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)sf::read_skin(bytes, "");
    (void)sf::read_skin(bytes, "secret");

    FuzzedDataProvider input(data, size);
    sf::skin_document document;
    document.name = input.ConsumeRandomLengthString(64);
    document.style_sheet = input.ConsumeRandomLengthString(512);
    document.note = input.ConsumeRandomLengthString(64);
    if (input.ConsumeBool()) {
        const int width = input.ConsumeIntegralInRange(1, 8);
        const int height = input.ConsumeIntegralInRange(1, 8);
        document.tile = sf::tile_image{width, height, std::string(static_cast<std::size_t>(width * height * 3), '\x7f')};
    }
    const std::string password = input.ConsumeBool() ? input.ConsumeRandomLengthString(16) : std::string();
    const auto written = sf::write_skin(document, password);
    if (!written) return 0;
    const auto back = sf::read_skin(*written, password);
    check(back.status == sf::read_status::ok);
    check(same_document(document, back.document));
    return 0;
}
