// The two files written at start: the engine library beside the program and the skin file in the temporary-files
// directory, and the skin step that loads the one and attaches the other.

#include <gtest/gtest.h>

#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>

#include "app/engine_file.hpp"
#include "app/program_directory.hpp"
#include "engine/skin_engine.hpp"
#include "engine/skin_format.hpp"
#include "resources/carried.hpp"
#include "tests/engine/engine_support.hpp"
#include "ui/skin.hpp"

namespace quorvelv {
namespace {

using testing::read_bytes;
using testing::write_bytes;

std::string native(const QString& path) { return QFile::encodeName(path).toStdString(); }

struct stat status_of(const QString& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(native(path).c_str(), &status), 0) << path.toStdString();
    return status;
}

bool mapped_in_this_process(const QString& path) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(QFile::encodeName(path));
}

class startup_files_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.isValid());
        ASSERT_TRUE(temporary.isValid());
        set_program_directory_for_tests(native(program.path()));
        saved_tmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temporary.path()));
        qApp->setStyleSheet(QString());
    }
    void TearDown() override {
        unload_skin_engine();
        qputenv("TMPDIR", saved_tmpdir);
        qApp->setStyleSheet(QString());
    }
    QString engine_path() const { return program.filePath(QStringLiteral("hrttp.dll")); }
    QString skin_path() const { return temporary.filePath(QStringLiteral("1.she")); }
    QStringList entries(const QTemporaryDir& directory) const {
        return QDir(directory.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir program, temporary;
    QByteArray saved_tmpdir;
};

TEST_F(startup_files_test, the_engine_file_is_the_carried_library_byte_for_byte) {
    write_engine_file();
    EXPECT_EQ(read_bytes(engine_path()), engine_library_image());
    EXPECT_EQ(read_bytes(engine_path()), read_bytes(QStringLiteral(QUORVELV_ENGINE_FILE)));
    EXPECT_EQ(entries(program), QStringList{QStringLiteral("hrttp.dll")});  // no temporary file left behind
}

TEST_F(startup_files_test, an_older_engine_file_is_replaced_by_a_new_file_and_an_identical_one_left_alone) {
    write_bytes(engine_path(), "an older engine");
    const auto older = status_of(engine_path());
    write_engine_file();
    const auto replaced = status_of(engine_path());
    EXPECT_EQ(read_bytes(engine_path()), engine_library_image());
    EXPECT_NE(replaced.st_ino, older.st_ino);  // renamed over, not rewritten in place

    write_engine_file();
    const auto again = status_of(engine_path());
    EXPECT_EQ(again.st_ino, replaced.st_ino);
    EXPECT_EQ(again.st_mtim.tv_sec, replaced.st_mtim.tv_sec);
    EXPECT_EQ(again.st_mtim.tv_nsec, replaced.st_mtim.tv_nsec);
}

TEST_F(startup_files_test, a_library_another_instance_has_loaded_keeps_working_when_replaced) {
    // The running instance's file differs from ours (another build): it is mapped and in use while we replace it.
    const auto other_build = std::string(engine_library_image()) + std::string(4096, '\0');
    write_bytes(engine_path(), other_build);
    QLibrary loaded(engine_path());
    ASSERT_TRUE(loaded.load()) << loaded.errorString().toStdString();
    const auto attach = reinterpret_cast<skin_attach_function>(loaded.resolve("SkinH_AttachEx"));
    ASSERT_NE(attach, nullptr);
    const int fd = ::open(native(engine_path()).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const auto size = other_build.size();
    void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    ASSERT_NE(mapping, MAP_FAILED);

    write_engine_file();

    EXPECT_EQ(read_bytes(engine_path()), engine_library_image());
    EXPECT_EQ(std::string_view(static_cast<const char*>(mapping), size), other_build);  // not cut under it
    write_bytes(skin_path(), skin_image(38));
    EXPECT_EQ(attach(native(skin_path()).c_str(), ""), skin_attached);  // its code is still all there
    ::munmap(mapping, size);
    EXPECT_TRUE(loaded.unload());
}

TEST_F(startup_files_test, an_engine_path_that_cannot_be_written_is_left_silently) {
    // A directory of that name blocks the file (permission bits would not stop root).
    ASSERT_TRUE(QDir(program.path()).mkdir(QStringLiteral("hrttp.dll")));
    write_engine_file();
    EXPECT_TRUE(QFileInfo(engine_path()).isDir());
    EXPECT_EQ(entries(program), QStringList{QStringLiteral("hrttp.dll")});
    EXPECT_TRUE(QDir(engine_path()).isEmpty());
}

TEST_F(startup_files_test, the_skin_file_lies_in_the_temporary_files_directory) {
    EXPECT_EQ(skin_file_path(), native(temporary.path()) + "/1.she");
    qputenv("TMPDIR", QFile::encodeName(temporary.path() + QStringLiteral("/")));
    EXPECT_EQ(skin_file_path(), native(temporary.path()) + "/1.she");  // one separator, never two
    qputenv("TMPDIR", QFile::encodeName(temporary.filePath(QStringLiteral("not-there"))));
    EXPECT_EQ(skin_file_path(), "1.she");  // no directory to be had: the working directory
}

TEST_F(startup_files_test, apply_skin_writes_the_skin_and_attaches_it_with_the_engine_beside_the_program) {
    write_engine_file();
    write_bytes(skin_path(), "an older skin");
    const auto older = status_of(skin_path());
    apply_skin(38);

    EXPECT_EQ(read_bytes(skin_path()), skin_image(38));
    const auto written = status_of(skin_path());
    EXPECT_NE(written.st_ino, older.st_ino);
    EXPECT_EQ(written.st_mode & 07777, 0644u);
    EXPECT_EQ(entries(temporary), QStringList{QStringLiteral("1.she")});
    const auto read = skin_format::read_skin(skin_image(38), "");
    EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(read.document.style_sheet));
    // The engine came from the program's directory, by its exact file name, and stays loaded until shutdown.
    EXPECT_TRUE(mapped_in_this_process(engine_path()));
    unload_skin_engine();
    EXPECT_FALSE(mapped_in_this_process(engine_path()));
    EXPECT_FALSE(qApp->styleSheet().isEmpty());  // the skin stays; nothing refers to the unloaded library
}

TEST_F(startup_files_test, a_link_planted_at_the_skin_path_is_replaced_not_written_through) {
    write_engine_file();
    const auto target = temporary.filePath(QStringLiteral("someone-elses-file"));
    write_bytes(target, "precious");
    ASSERT_TRUE(QFile::link(target, skin_path()));
    apply_skin(38);
    EXPECT_EQ(read_bytes(target), "precious");
    EXPECT_FALSE(QFileInfo(skin_path()).isSymLink());
    EXPECT_EQ(read_bytes(skin_path()), skin_image(38));

    // A dangling link, pointing where a file would be created, fares the same.
    const auto nowhere = temporary.filePath(QStringLiteral("created-through-the-link"));
    ASSERT_TRUE(QFile::remove(skin_path()));
    ASSERT_TRUE(QFile::link(nowhere, skin_path()));
    apply_skin(38);
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    EXPECT_EQ(read_bytes(skin_path()), skin_image(38));
}

TEST_F(startup_files_test, a_number_outside_the_set_writes_nothing_and_attaches_what_is_there) {
    write_engine_file();
    write_bytes(skin_path(), skin_image(5));
    for (const std::int32_t number : {0, 57, -38}) apply_skin(number);
    EXPECT_EQ(read_bytes(skin_path()), skin_image(5));
    const auto read = skin_format::read_skin(skin_image(5), "");
    EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(read.document.style_sheet));

    // A skin file that cannot be read is the engine's business: the program goes on.
    ASSERT_TRUE(QFile::remove(skin_path()));
    ASSERT_TRUE(QDir(temporary.path()).mkdir(QStringLiteral("1.she")));  // blocks the write as well
    apply_skin(38);
    EXPECT_TRUE(QFileInfo(skin_path()).isDir());
    EXPECT_EQ(entries(temporary), QStringList{QStringLiteral("1.she")});
}

}  // namespace
}  // namespace quorvelv
