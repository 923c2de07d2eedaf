#include "engine/skin_engine.hpp"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QImage>
#include <QMetaEnum>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>

#include "engine/skin_format.hpp"

namespace quorvelv {
namespace {

namespace format = skin_format;

// The whole file, or nothing when it is missing, not a regular file (a FIFO planted there must not block us)
// or larger than any skin can be.
std::optional<std::string> read_skin_file(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> bytes;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        std::string content;
        char buffer[16384];
        for (;;) {
            const auto count = ::read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) break;
            if (count == 0) {
                bytes = std::move(content);
                break;
            }
            content.append(buffer, static_cast<std::size_t>(count));
            if (content.size() > format::max_file_size) {
                bytes = std::move(content);  // too large: the reader calls it malformed
                break;
            }
        }
    }
    ::close(fd);
    return bytes;
}

QPalette skin_palette(const format::skin_document& document, const QPalette& start) {
    QPalette palette = start;
    const auto roles = QMetaEnum::fromType<QPalette::ColorRole>();
    for (const auto& entry : document.palette) {
        bool known = false;
        const int role = roles.keyToValue(entry.role.c_str(), &known);
        if (!known) continue;
        const QColor colour(entry.colour.red, entry.colour.green, entry.colour.blue);
        const auto colour_role = static_cast<QPalette::ColorRole>(role);
        switch (entry.group) {
            case format::colour_group::all: palette.setColor(colour_role, colour); break;
            case format::colour_group::active: palette.setColor(QPalette::Active, colour_role, colour); break;
            case format::colour_group::inactive: palette.setColor(QPalette::Inactive, colour_role, colour); break;
            case format::colour_group::disabled: palette.setColor(QPalette::Disabled, colour_role, colour); break;
        }
    }
    if (document.tile) {
        // The window background becomes the tile over the Window colour, in the active and inactive groups; a
        // disabled window keeps the plain colour so that it reads as disabled.
        const auto& tile = *document.tile;
        QImage image(tile.width, tile.height, QImage::Format_RGB888);
        if (image.isNull()) throw std::bad_alloc();
        for (int y = 0; y < tile.height; ++y) {
            const auto row_size = static_cast<std::size_t>(tile.width) * 3;
            std::copy_n(tile.pixels.data() + static_cast<std::size_t>(y) * row_size, row_size,
                        reinterpret_cast<char*>(image.scanLine(y)));
        }
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            QBrush brush(palette.color(group, QPalette::Window));
            brush.setTextureImage(image);
            palette.setBrush(group, QPalette::Window, brush);
        }
    }
    return palette;
}

int attach(const char* skin_file_path, const char* password) {
    auto* const application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application || QThread::currentThread() != application->thread()) return skin_no_application;
    if (!skin_file_path) return skin_file_unreadable;
    const auto bytes = read_skin_file(skin_file_path);
    if (!bytes) return skin_file_unreadable;
    const auto read = format::read_skin(*bytes, password ? std::string_view(password) : std::string_view());
    switch (read.status) {
        case format::read_status::ok: break;
        case format::read_status::bad_signature: return skin_bad_signature;
        case format::read_status::unsupported_version: return skin_unsupported_version;
        case format::read_status::wrong_password: return skin_wrong_password;
        case format::read_status::malformed: return skin_malformed;
    }
    const auto& document = read.document;

    // Everything is made first and handed over last, so a failure leaves the application as it was. Every value
    // is built at run time (no literal string data of this library), so nothing the application keeps points
    // into the library once it is unloaded. A style the platform lacks leaves the current one.
    std::unique_ptr<QStyle> style(document.base_style.empty()
                                      ? nullptr
                                      : QStyleFactory::create(QString::fromUtf8(document.base_style)));
    // A style change resets the palette to the style's own, so the skin's palette goes on top of that.
    const auto palette = skin_palette(document, (style ? style.get() : QApplication::style())->standardPalette());
    const auto style_sheet = QString::fromUtf8(document.style_sheet);
    if (style) QApplication::setStyle(style.release());
    QApplication::setPalette(palette);
    application->setStyleSheet(style_sheet);
    return skin_attached;
}

}  // namespace
}  // namespace quorvelv

extern "C" int SkinH_AttachEx(const char* skin_file_path, const char* password) {
    try {
        return quorvelv::attach(skin_file_path, password);
    } catch (...) {  // out of memory: nothing may cross into the caller
        return quorvelv::skin_engine_failure;
    }
}
