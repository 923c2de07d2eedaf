#include "server/gbk.hpp"

#include <cerrno>
#include <cstdio>
#include <memory>

#include <iconv.h>

namespace quorvelv {
namespace {

struct iconv_closer {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using converter = std::unique_ptr<void, iconv_closer>;

converter open_converter(const char* to, const char* from) {
    iconv_t handle = iconv_open(to, from);
    return converter(handle == reinterpret_cast<iconv_t>(-1) ? nullptr : handle);
}

// Converts as much as it can; stops at the first byte it cannot take and says how far it got.
std::size_t convert(iconv_t handle, std::string_view in, std::string& out) {
    char* source = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[1024];
    while (left > 0) {
        char* target = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t rc = iconv(handle, &source, &left, &target, &room);
        out.append(buffer, static_cast<std::size_t>(target - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) break;
    }
    return in.size() - left;
}

}  // namespace

std::optional<std::string> gbk_from_utf8(std::string_view utf8) {
    converter handle = open_converter("GBK", "UTF-8");
    if (!handle) return std::nullopt;
    std::string out;
    if (convert(static_cast<iconv_t>(handle.get()), utf8, out) != utf8.size()) return std::nullopt;
    return out;
}

std::string utf8_for_display(std::string_view gbk) {
    converter handle = open_converter("UTF-8", "GBK");
    std::string out;
    auto append_escaped = [&](unsigned char c) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    };
    while (!gbk.empty()) {
        std::string chunk;
        const std::size_t done = handle ? convert(static_cast<iconv_t>(handle.get()), gbk, chunk) : 0;
        // Control bytes escaped too, so a stored text cannot drive the terminal it is shown on.
        for (char byte : chunk) {
            const auto c = static_cast<unsigned char>(byte);
            if (c < 0x20 || c == 0x7F) append_escaped(c);
            else out += byte;
        }
        gbk.remove_prefix(done);
        if (gbk.empty()) break;
        append_escaped(static_cast<unsigned char>(gbk.front()));
        gbk.remove_prefix(1);
        if (handle) iconv(static_cast<iconv_t>(handle.get()), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace quorvelv
