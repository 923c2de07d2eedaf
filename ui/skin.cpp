#include "ui/skin.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include "app/engine_file.hpp"
#include "app/fatal_stop.hpp"
#include "app/program_directory.hpp"
#include "engine/skin_engine.hpp"
#include "resources/carried.hpp"

namespace quorvelv {
namespace {

struct skin_engine {
    QLibrary* library = nullptr;  // loaded from the first attach until the shutdown
    skin_attach_function attach = nullptr;
};

skin_engine& engine() {
    static skin_engine value;
    return value;
}

bool load_from(QLibrary& library, const QString& file_name) {
    library.setFileName(file_name);
    return library.load();
}

skin_attach_function attach_function() {
    auto& loaded = engine();
    if (loaded.attach) return loaded.attach;
    auto* library = new QLibrary;
    // The file written at start, by its exact path (QLibrary tries the name as given first, and we only let it
    // when that file is there, so no "lib" or ".so" variant of the name is ever picked up instead); then the
    // standard search.
    const auto beside_program =
        QFile::decodeName(QByteArray::fromStdString(program_directory() + "/" + skin_engine_file_name));
    const bool loaded_library = (QFileInfo(beside_program).isFile() && load_from(*library, beside_program)) ||
                                load_from(*library, QString::fromLatin1(skin_engine_file_name));
    const auto attach = loaded_library
                            ? reinterpret_cast<skin_attach_function>(library->resolve(skin_attach_function_name))
                            : nullptr;
    if (!attach) {
        if (loaded_library) library->unload();
        delete library;
        fatal_stop("The skin engine cannot be used: the function SkinH_AttachEx of the library hrttp.dll "
                   "could not be loaded.");
    }
    loaded.library = library;
    loaded.attach = attach;
    return attach;
}

}  // namespace

std::string skin_file_path() {
    QString directory = QDir::toNativeSeparators(QDir::tempPath());
    if (!directory.isEmpty() && !directory.endsWith(QDir::separator())) directory += QDir::separator();
    return QFile::encodeName(directory + QStringLiteral("1.she")).toStdString();
}

void apply_skin(std::int32_t number) {
    const auto image = skin_image(number);
    if (!image.empty()) replace_file(skin_file_path(), image, 0644);
    attach_function()(skin_file_path().c_str(), "");
}

void unload_skin_engine() {
    auto& loaded = engine();
    if (!loaded.library) return;
    loaded.library->unload();
    delete loaded.library;
    loaded = {};
}

}  // namespace quorvelv
