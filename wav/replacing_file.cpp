#include "wav/replacing_file.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>

namespace {

long processId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<long>(getpid());
#endif
}

// Numbers the temporary files of this process; atomic, so threads never pick the same name.
std::atomic<unsigned> nextNumber{0};

}  // namespace

bool LuReplacingFile::open(const char* path) {
    discard();
    target = path;
    if (!targetWritable()) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = target + "." + std::to_string(processId()) + "-" +
                                 std::to_string(nextNumber++) + ".tmp";
#ifdef _WIN32
        const int fd =
            _open(name.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
#endif
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        temporary = name;
#ifdef _WIN32
        file = _fdopen(fd, "w+b");
        if (!file) _close(fd);
#else
        file = fdopen(fd, "w+b");
        if (!file) ::close(fd);
#endif
        if (!file) {
            discard();
            return false;
        }
        return true;
    }
    return false;
}

bool LuReplacingFile::commit() {
    if (!file) return false;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
#ifdef _WIN32
    const bool moved =
        closed && MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
#else
    const bool moved = closed && std::rename(temporary.c_str(), target.c_str()) == 0;
#endif
    if (!moved) {
        discard();
        return false;
    }
    temporary.clear();
    return true;
}

void LuReplacingFile::discard() {
    if (file) std::fclose(file);
    file = nullptr;
    if (!temporary.empty()) std::remove(temporary.c_str());
    temporary.clear();
}

// An existing target must be a file that could be opened for writing, as when it is truncated
// in place.
bool LuReplacingFile::targetWritable() const {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
#else
    struct stat status;
    if (stat(target.c_str(), &status) != 0) return true;
    return !S_ISDIR(status.st_mode) && access(target.c_str(), W_OK) == 0;
#endif
}
