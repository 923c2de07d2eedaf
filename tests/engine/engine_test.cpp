// The skin engine library on its own: loaded from its built file, fed good and bad skin files.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include <sys/stat.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "engine/skin_engine.hpp"
#include "engine/skin_format.hpp"
#include "resources/carried.hpp"
#include "tests/engine/engine_support.hpp"

namespace quorvelv {
namespace {

namespace format = skin_format;
using testing::built_engine_attach;
using testing::sample_skin;

std::string written(const format::skin_document& document, std::string_view password = {}) {
    return *format::write_skin(document, password);
}

// Rewrites a file's CRC so that a change inside the body reaches the section parser.
std::string with_fixed_checksum(std::string bytes) {
    if (bytes.size() < format::header_size) return bytes;
    const auto crc = format::crc32(std::string_view(bytes).substr(format::header_size));
    for (int i = 0; i < 4; ++i) bytes[16 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return bytes;
}

class engine_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        ASSERT_NE(built_engine_attach(), nullptr);
        qApp->setStyleSheet(QString());
    }
    void TearDown() override { qApp->setStyleSheet(QString()); }

    int attach_bytes(std::string_view bytes, const char* password = "") {
        const auto path = directory.filePath(QStringLiteral("skin.she"));
        testing::write_bytes(path, bytes);
        return built_engine_attach()(QFile::encodeName(path).constData(), password);
    }

    QTemporaryDir directory;
};

TEST_F(engine_test, exports_only_its_entry_point) {
    QLibrary library(QStringLiteral(QUORVELV_ENGINE_FILE));
    ASSERT_TRUE(library.load());
    EXPECT_NE(library.resolve("SkinH_AttachEx"), nullptr);
    // The format's functions are compiled in but stay private to the library.
    EXPECT_EQ(library.resolve("_ZN8quorvelv11skin_format9read_skinESt17basic_string_viewIcSt11char_traitsIcEES4_"),
              nullptr);
    EXPECT_TRUE(QString::fromUtf8(QUORVELV_ENGINE_FILE).endsWith(QStringLiteral("/hrttp.dll")));
}

TEST_F(engine_test, a_good_skin_is_applied_to_the_application_and_to_windows_made_later) {
    const auto before = qApp->palette().color(QPalette::Window);
    ASSERT_EQ(attach_bytes(written(sample_skin())), skin_attached);

    EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(sample_skin().style_sheet));
    EXPECT_NE(qApp->palette().color(QPalette::Window), before);
    EXPECT_EQ(qApp->palette().color(QPalette::Window), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(qApp->palette().color(QPalette::Disabled, QPalette::Text), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(qApp->palette().brush(QPalette::Active, QPalette::Window).textureImage().size(), QSize(2, 1));
    EXPECT_EQ(qApp->palette().brush(QPalette::Active, QPalette::Window).textureImage().pixelColor(1, 0),
              QColor(0x13, 0x35, 0x57));

    // A message box made afterwards takes the skin's colours.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("信息："), QStringLiteral("密码已复制"),
                    QMessageBox::Ok);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.palette().color(QPalette::WindowText), QColor(0xfe, 0xdc, 0xba));
    const auto grab = box.grab().toImage();
    const auto background = grab.pixelColor(grab.width() - 2, grab.height() / 2);
    EXPECT_TRUE(background == QColor(0x12, 0x34, 0x56) || background == QColor(0x13, 0x35, 0x57));  // the tile

    qApp->setStyleSheet(QString());  // the style sheet wraps the base style; without it the base shows
    EXPECT_EQ(QApplication::style()->name().toLower(), QStringLiteral("fusion"));
}

TEST_F(engine_test, a_second_skin_replaces_the_first) {
    ASSERT_EQ(attach_bytes(written(sample_skin())), skin_attached);
    auto other = sample_skin();
    other.palette = {{format::colour_group::all, "Base", {1, 2, 3}}};
    other.style_sheet = "QLabel { color: #010203; }";
    other.tile.reset();
    ASSERT_EQ(attach_bytes(written(other)), skin_attached);
    EXPECT_EQ(qApp->styleSheet(), QStringLiteral("QLabel { color: #010203; }"));
    EXPECT_EQ(qApp->palette().color(QPalette::Base), QColor(1, 2, 3));
    EXPECT_NE(qApp->palette().color(QPalette::Window), QColor(0x12, 0x34, 0x56));  // nothing left of the first
    EXPECT_TRUE(qApp->palette().brush(QPalette::Window).textureImage().isNull());
}

TEST_F(engine_test, the_password_of_a_locked_skin_is_checked) {
    const auto locked = written(sample_skin(), "芝麻开门");
    EXPECT_EQ(attach_bytes(locked, ""), skin_wrong_password);
    EXPECT_EQ(attach_bytes(locked, nullptr), skin_wrong_password);
    EXPECT_EQ(attach_bytes(locked, "芝麻"), skin_wrong_password);
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(attach_bytes(locked, "芝麻开门"), skin_attached);
    // An unlocked skin takes any password, the empty one the program passes included.
    EXPECT_EQ(attach_bytes(written(sample_skin()), "whatever"), skin_attached);
    EXPECT_EQ(attach_bytes(written(sample_skin()), nullptr), skin_attached);
}

TEST_F(engine_test, files_that_cannot_be_read_are_reported_as_such) {
    const auto attach = built_engine_attach();
    EXPECT_EQ(attach(nullptr, ""), skin_file_unreadable);
    EXPECT_EQ(attach(QFile::encodeName(directory.filePath("missing.she")).constData(), ""), skin_file_unreadable);
    EXPECT_EQ(attach(QFile::encodeName(directory.path()).constData(), ""), skin_file_unreadable);
    // A FIFO planted at the path neither blocks nor is read.
    const auto fifo = QFile::encodeName(directory.filePath("fifo.she"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_EQ(attach(fifo.constData(), ""), skin_file_unreadable);
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

struct bad_file {
    const char* what;
    std::string bytes;
    int result;
};

std::vector<bad_file> bad_files() {
    const auto good = written(sample_skin());
    auto bad_colour = sample_skin();
    bad_colour.palette[0].role = "Windoow";
    auto no_style_sheet = good;
    std::vector<bad_file> cases{
        {"empty", "", skin_bad_signature},
        {"text", "QPushButton { color: red; }", skin_bad_signature},
        {"signature cut short", std::string(".SHE\0", 5), skin_bad_signature},
        {"another version", std::string(".SHE\0\4", 6) + good.substr(6), skin_unsupported_version},
        {"header cut short", good.substr(0, 20), skin_malformed},
        {"body cut short", good.substr(0, good.size() - 1), skin_malformed},
        {"a byte more", good + '\0', skin_malformed},
        {"flipped body byte", good, skin_malformed},
        {"unknown flag", good, skin_malformed},
        {"section count too high", good, skin_malformed},
        {"unknown palette role", written(bad_colour), skin_malformed},
        {"bad colour", with_fixed_checksum(good), skin_malformed},
        {"padding not last", *format::write_skin(sample_skin(), {}, 2000), skin_malformed},
    };
    cases[7].bytes[good.size() - 3] ^= 0x20;
    cases[8].bytes[7] = 0x40;
    cases[9].bytes[20] = 9;
    cases[9].bytes = with_fixed_checksum(cases[9].bytes);
    const auto colour_at = cases[11].bytes.find("#123456");
    cases[11].bytes.replace(colour_at, 7, "#12345g");
    cases[11].bytes = with_fixed_checksum(cases[11].bytes);
    // A padded file with one more section after the padding: move the count up and append a NOTE.
    auto& padded = cases[12].bytes;
    padded += std::string("NOTE\1\0\0\0x", 9);
    padded[12] = static_cast<char>(padded.size() - format::header_size);
    padded[13] = static_cast<char>((padded.size() - format::header_size) >> 8);
    ++padded[20];
    padded = with_fixed_checksum(padded);
    return cases;
}

TEST_F(engine_test, each_kind_of_bad_file_gets_its_own_result_and_changes_nothing) {
    for (const auto& bad : bad_files()) {
        SCOPED_TRACE(bad.what);
        EXPECT_EQ(attach_bytes(bad.bytes), bad.result);
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
    }
    // The padding case above is only bad for its misplaced padding.
    EXPECT_EQ(attach_bytes(*format::write_skin(sample_skin(), {}, 2000)), skin_attached);
}

TEST_F(engine_test, no_content_crashes_the_reader) {
    // Random damage to a real skin, with the checksum made right again so the sections themselves are read.
    const auto original = std::string(skin_image(38));
    std::mt19937 random(38);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        auto bytes = original;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i) {
            const auto at = random() % bytes.size();
            switch (random() % 4) {
                case 0: bytes[at] = static_cast<char>(random()); break;
                case 1: bytes.resize(at); break;
                case 2: bytes.insert(at, std::string(random() % 16, static_cast<char>(random()))); break;
                case 3:  // the section headers
                    bytes[std::min(bytes.size() - 1, format::header_size + at % 64)] = static_cast<char>(random());
                    break;
            }
            if (bytes.size() < format::header_size) bytes = original.substr(0, format::header_size);
        }
        const auto result = format::read_skin(with_fixed_checksum(bytes), "");
        if (result.status == format::read_status::ok) ++accepted;
        if (round % 15 == 0) {
            const int code = attach_bytes(with_fixed_checksum(bytes));
            EXPECT_TRUE(code == skin_attached || code == skin_malformed || code == skin_bad_signature ||
                        code == skin_unsupported_version || code == skin_wrong_password)
                << code;
        }
    }
    EXPECT_GT(accepted, 0);  // damage inside the style sheet's text still makes a usable skin
}

TEST_F(engine_test, the_library_can_be_unloaded_while_the_application_keeps_the_skin) {
    // A copy of its own, so this test alone holds it: after unloading, the application must not refer to it.
    const auto copy = directory.filePath(QStringLiteral("hrttp.dll"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVELV_ENGINE_FILE), copy));
    {
        QLibrary library(copy);
        ASSERT_TRUE(library.load()) << library.errorString().toStdString();
        const auto attach = reinterpret_cast<skin_attach_function>(library.resolve("SkinH_AttachEx"));
        ASSERT_NE(attach, nullptr);
        const auto skin = directory.filePath(QStringLiteral("38.she"));
        testing::write_bytes(skin, skin_image(38));
        ASSERT_EQ(attach(QFile::encodeName(skin).constData(), ""), skin_attached);
        ASSERT_TRUE(library.unload());
    }
    QFile maps(QStringLiteral("/proc/self/maps"));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains(QFile::encodeName(copy)));
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("添加新资源"), &window);
    button->resize(110, 32);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(window.grab().isNull());
    qApp->setStyleSheet(qApp->styleSheet() + QStringLiteral(" QLabel { color: red; }"));
    EXPECT_FALSE(window.grab().isNull());
}

}  // namespace
}  // namespace quorvelv
