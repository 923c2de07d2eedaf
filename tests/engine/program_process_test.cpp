// The real program, started as a process from a directory of its own: the two files it writes at start, the
// fatal stop when the engine cannot be had, and a second instance beside a first.

#include <gtest/gtest.h>

#include <cstdio>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "resources/carried.hpp"
#include "tests/engine/engine_support.hpp"

namespace quorvelv {
namespace {

using testing::read_bytes;
using testing::write_bytes;

constexpr int patience_ms = 30000;  // an upper bound only: every wait ends as soon as its condition holds

class program_process_test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        ASSERT_TRUE(temporary.isValid());
        ASSERT_TRUE(signal_directory.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUORVELV_PROGRAM_FILE), program()));
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());
        environment.remove(QStringLiteral("LD_LIBRARY_PATH"));  // the standard search finds no engine
        // Under AddressSanitizer the preloaded watcher comes before the sanitizer's runtime; that is harmless.
        const auto asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           (asan.isEmpty() ? QString() : asan + QStringLiteral(":")) +
                               QStringLiteral("verify_asan_link_order=0"));
    }
    void TearDown() override {
        for (auto* process : {&first, &second}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(patience_ms);
            }
        }
    }

    QString program() const { return directory.filePath(QStringLiteral("quorvelv")); }
    QString engine_path() const { return directory.filePath(QStringLiteral("hrttp.dll")); }
    QString skin_path() const { return temporary.filePath(QStringLiteral("1.she")); }
    QString close_signal(const QProcess& process) const {
        return signal_directory.filePath(&process == &first ? QStringLiteral("close-first")
                                                            : QStringLiteral("close-second"));
    }

    // The program itself, or a command that ends by running it with the watcher (see read_only_start).
    void start(QProcess& process, const QString& executable, const QStringList& arguments = {}) {
        auto own = environment;
        own.insert(QStringLiteral("QUORVELV_WATCH_CLOSE_WHEN"), close_signal(process));
        if (arguments.isEmpty()) own.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUORVELV_WATCH_LIBRARY));
        process.setProcessEnvironment(own);
        process.setWorkingDirectory(temporary.path());
        process.start(executable, arguments);
        ASSERT_TRUE(process.waitForStarted(patience_ms)) << process.errorString().toStdString();
    }

    // Everything the process has written to its error stream so far, once `line` is among it or it has ended.
    QString wait_for(QProcess& process, const QString& line) {
        QString& seen = &process == &first ? first_errors : second_errors;
        const QDeadlineTimer deadline(patience_ms);
        while (!seen.contains(line) && !deadline.hasExpired()) {
            if (process.state() == QProcess::NotRunning) {
                seen += QString::fromUtf8(process.readAllStandardError());
                break;
            }
            process.waitForReadyRead(50);
            seen += QString::fromUtf8(process.readAllStandardError());
        }
        return seen;
    }

    // Closes the program's windows as the user would and hands back its exit code.
    int close(QProcess& process) {
        write_bytes(close_signal(process), "close");
        EXPECT_TRUE(process.waitForFinished(patience_ms));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return process.exitCode();
    }

    std::string other_build() const {
        // Another build of the engine, say an older version of the program: loadable, but not our bytes.
        return read_bytes(QStringLiteral(QUORVELV_ENGINE_FILE)).append(4096, '\0');
    }

    QTemporaryDir directory, temporary, signal_directory;
    QProcessEnvironment environment;
    QProcess first, second;
    QString first_errors, second_errors;
};

const QString main_window_shown = QStringLiteral("watch: shown Quorvelv.2.3 skinned=1 visible=0");

TEST_F(program_process_test, a_start_writes_both_files_over_older_ones_and_shows_the_window_skinned) {
    write_bytes(engine_path(), "an older engine");
    write_bytes(skin_path(), "an older skin");
    start(first, program());
    EXPECT_TRUE(wait_for(first, main_window_shown).contains(main_window_shown)) << first_errors.toStdString();
    EXPECT_EQ(read_bytes(engine_path()), read_bytes(QStringLiteral(QUORVELV_ENGINE_FILE)));
    EXPECT_EQ(read_bytes(skin_path()), skin_image(38));
    EXPECT_EQ(close(first), 0);
}

TEST_F(program_process_test, without_an_engine_file_the_program_stops_with_the_error_box_before_any_window) {
    ASSERT_TRUE(QDir(directory.path()).mkdir(QStringLiteral("hrttp.dll")));  // root ignores permission bits
    start(first, program());
    ASSERT_TRUE(first.waitForFinished(patience_ms));
    const auto errors = first_errors + QString::fromUtf8(first.readAllStandardError());
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 255);
    EXPECT_FALSE(errors.contains(QStringLiteral("watch: shown Quorvelv.2.3"))) << errors.toStdString();
    const auto box = errors.indexOf(QStringLiteral("watch: box "));
    ASSERT_GE(box, 0) << errors.toStdString();
    const auto box_line = errors.mid(box, errors.indexOf(u'\n', box) - box);
    EXPECT_TRUE(box_line.contains(QStringLiteral("hrttp.dll"))) << box_line.toStdString();
    EXPECT_TRUE(box_line.contains(QStringLiteral("SkinH_AttachEx"))) << box_line.toStdString();
    EXPECT_TRUE(box_line.startsWith(QStringLiteral("watch: box skinned=0 visible=0 "))) << box_line.toStdString();
}

TEST_F(program_process_test, the_standard_library_search_stands_in_for_a_missing_engine_file) {
    ASSERT_TRUE(QDir(directory.path()).mkdir(QStringLiteral("hrttp.dll")));
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"),
                       QFileInfo(QStringLiteral(QUORVELV_ENGINE_FILE)).absolutePath());
    start(first, program());
    EXPECT_TRUE(wait_for(first, main_window_shown).contains(main_window_shown)) << first_errors.toStdString();
    EXPECT_EQ(close(first), 0);
}

TEST_F(program_process_test, a_second_instance_runs_beside_the_first_and_replaces_the_file_it_has_loaded) {
    start(first, program());
    ASSERT_TRUE(wait_for(first, main_window_shown).contains(main_window_shown)) << first_errors.toStdString();
    // The first instance has the engine file loaded. Put another build's engine there (by renaming, as the
    // program does) so that the second instance has to replace the very file the first one runs.
    const auto staged = directory.filePath(QStringLiteral("staged"));
    write_bytes(staged, other_build());
    ASSERT_EQ(::rename(QFile::encodeName(staged).constData(), QFile::encodeName(engine_path()).constData()), 0);
    start(second, program());
    EXPECT_TRUE(wait_for(second, main_window_shown).contains(main_window_shown)) << second_errors.toStdString();
    EXPECT_EQ(read_bytes(engine_path()), read_bytes(QStringLiteral(QUORVELV_ENGINE_FILE)));
    EXPECT_EQ(read_bytes(skin_path()), skin_image(38));

    EXPECT_EQ(close(second), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(close(first), 0);  // it lived on through the replacement, and ends as usual
}

bool can_mount_read_only() {
    return QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-m"), QStringLiteral("true")}) == 0;
}

// The program started in a private mount namespace where its directory is mounted read-only. Only the program
// gets the watcher preloaded, not the tools that prepare the mount.
QStringList read_only_start(const QString& directory, const QString& program) {
    return {QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("mount --bind \"$1\" \"$1\" && mount -o remount,ro,bind \"$1\" && "
                           "exec env LD_PRELOAD=\"$3\" \"$2\""),
            QStringLiteral("sh"), directory, program, QStringLiteral(QUORVELV_WATCH_LIBRARY)};
}

TEST_F(program_process_test, a_read_only_directory_with_an_earlier_engine_file_starts_normally) {
    if (!can_mount_read_only()) GTEST_SKIP() << "no private mount namespace here";
    write_bytes(engine_path(), other_build());  // left by an earlier version; cannot be replaced now
    start(first, QStringLiteral("unshare"), read_only_start(directory.path(), program()));
    EXPECT_TRUE(wait_for(first, main_window_shown).contains(main_window_shown)) << first_errors.toStdString();
    EXPECT_EQ(read_bytes(engine_path()), other_build());
    EXPECT_EQ(close(first), 0);
}

TEST_F(program_process_test, a_read_only_directory_without_an_engine_file_ends_in_the_fatal_stop) {
    if (!can_mount_read_only()) GTEST_SKIP() << "no private mount namespace here";
    start(first, QStringLiteral("unshare"), read_only_start(directory.path(), program()));
    ASSERT_TRUE(first.waitForFinished(patience_ms));
    const auto errors = QString::fromUtf8(first.readAllStandardError());
    EXPECT_EQ(first.exitCode(), 255) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("watch: box "))) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("watch: shown Quorvelv.2.3"))) << errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(engine_path()));
}

}  // namespace
}  // namespace quorvelv
