#include "app/engine_file.hpp"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/program_directory.hpp"
#include "resources/carried.hpp"

namespace quorvelv {
namespace {

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Whether `path` is a regular file holding exactly `bytes`.
bool holds_exactly(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    bool same = false;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<std::size_t>(status.st_size) == bytes.size()) {
        std::string buffer(64 * 1024, '\0');
        std::size_t at = 0;
        same = true;
        while (same) {
            const auto count = ::read(fd, buffer.data(), buffer.size());
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) {
                same = count == 0 && at == bytes.size();
                break;
            }
            const auto length = static_cast<std::size_t>(count);
            same = at + length <= bytes.size() && bytes.substr(at, length) == std::string_view(buffer.data(), length);
            at += length;
        }
    }
    ::close(fd);
    return same;
}

}  // namespace

bool replace_file(const std::string& path, std::string_view bytes, unsigned permissions) {
    const auto slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    std::string temporary = directory + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);  // O_CREAT | O_EXCL under a fresh random name
    if (fd < 0) return false;
    bool done = ::fchmod(fd, permissions) == 0 && write_all(fd, bytes);
    done = ::close(fd) == 0 && done;
    done = done && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!done) ::unlink(temporary.c_str());
    return done;
}

void write_engine_file() {
    const std::string path = program_directory() + "/hrttp.dll";
    const auto image = engine_library_image();
    if (holds_exactly(path, image)) return;
    replace_file(path, image, 0755);
}

}  // namespace quorvelv
