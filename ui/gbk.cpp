#include "ui/gbk.hpp"

#include <algorithm>
#include <cerrno>
#include <cstddef>

#include <iconv.h>

#include <QByteArray>

namespace quorvelv {
namespace {

// One converter per thread and direction: an iconv descriptor must not be shared between threads.
class converter {
public:
    converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~converter() {
        if (valid()) iconv_close(handle_);
    }
    converter(const converter&) = delete;
    converter& operator=(const converter&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return handle_; }

private:
    iconv_t handle_;
};

bool is_ascii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Converts with iconv; at each byte it cannot take, `on_invalid` appends a stand-in and says how many input
// bytes to step over. iconv itself never substitutes.
template <typename OnInvalid>
std::string convert(const converter& with, std::string_view input, OnInvalid on_invalid) {
    std::string output;
    if (!with.valid()) return output;
    iconv(with.handle(), nullptr, nullptr, nullptr, nullptr);
    output.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    std::size_t used = 0;
    while (in_left > 0) {
        char* out = output.data() + used;
        std::size_t out_left = output.size() - used;
        const std::size_t result = iconv(with.handle(), &in, &in_left, &out, &out_left);
        used = output.size() - out_left;
        if (result != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
        } else if (errno == EILSEQ || errno == EINVAL) {
            const std::size_t skip = std::min(in_left, on_invalid(output, used, std::string_view(in, in_left)));
            in += skip;
            in_left -= skip;
        } else {
            break;
        }
    }
    output.resize(used);
    return output;
}

void append(std::string& output, std::size_t& used, std::string_view text) {
    if (output.size() < used + text.size()) output.resize((used + text.size()) * 2);
    output.replace(used, text.size(), text);
    used += text.size();
}

// Bytes in a UTF-8 sequence that begins with this byte (1 for a stray byte, so that the scan goes on).
std::size_t utf8_sequence_length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

QString gbk_to_qstring(std::string_view bytes) {
    if (is_ascii(bytes)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    thread_local const converter decoder("UTF-8", "CP936");
    const std::string utf8 = convert(decoder, bytes, [](std::string& output, std::size_t& used, std::string_view) {
        append(output, used, "\xEF\xBF\xBD");  // U+FFFD for the byte; the next one starts afresh
        return std::size_t{1};
    });
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string qstring_to_gbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view input(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (is_ascii(input)) return std::string(input);
    thread_local const converter encoder("CP936", "UTF-8");
    return convert(encoder, input, [](std::string& output, std::size_t& used, std::string_view rest) {
        append(output, used, "?");
        return utf8_sequence_length(static_cast<unsigned char>(rest.front()));
    });
}

}  // namespace quorvelv
