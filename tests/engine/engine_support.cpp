#include "tests/engine/engine_support.hpp"

#include <gtest/gtest.h>

#include <QFile>
#include <QLibrary>

namespace quorvelv::testing {

skin_attach_function built_engine_attach() {
    static QLibrary library;  // kept loaded for the whole test run
    static const skin_attach_function attach = [] {
        library.setFileName(QStringLiteral(QUORVELV_ENGINE_FILE));
        if (!library.load()) ADD_FAILURE() << library.errorString().toStdString();
        return reinterpret_cast<skin_attach_function>(library.resolve(skin_attach_function_name));
    }();
    return attach;
}

skin_format::skin_document sample_skin() {
    skin_format::skin_document document;
    document.name = "Sample";
    document.base_style = "Fusion";
    document.palette = {{skin_format::colour_group::all, "Window", {0x12, 0x34, 0x56}},
                        {skin_format::colour_group::all, "WindowText", {0xfe, 0xdc, 0xba}},
                        {skin_format::colour_group::disabled, "Text", {0x80, 0x80, 0x80}}};
    document.style_sheet = "QPushButton { border: 1px solid #abcdef; } /* sample */";
    document.tile = skin_format::tile_image{2, 1, std::string("\x12\x34\x56\x13\x35\x57", 6)};
    document.note = "a sample";
    return document;
}

void write_bytes(const QString& path, std::string_view bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

std::string read_bytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

}  // namespace quorvelv::testing
