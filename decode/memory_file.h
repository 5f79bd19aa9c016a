// A sound file held in memory, read and sought the way the decoding libraries' callbacks ask.
#ifndef DECODE_MEMORY_FILE_H_
#define DECODE_MEMORY_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// A read position over bytes that the caller keeps alive.
struct LuMemoryFile {
    const uint8_t* bytes;
    int64_t size;
    int64_t position = 0;

    LuMemoryFile(const uint8_t* data, size_t length)
        : bytes(data), size(static_cast<int64_t>(length)) {}

    // Copies up to `count` bytes to `target`; the number copied, 0 at the end.
    int64_t read(void* target, int64_t count) {
        if (count < 0) return 0;
        if (count > size - position) count = size - position;
        if (count > 0) std::memcpy(target, bytes + position, static_cast<size_t>(count));
        position += count;
        return count;
    }

    // Moves to `offset` from the start, the position or the end (SEEK_SET, SEEK_CUR,
    // SEEK_END); false, without moving, outside the file.
    bool seek(int64_t offset, int whence) {
        const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position : size;
        if (offset < -base || offset > size - base) return false;
        position = base + offset;
        return true;
    }
};

#endif  // DECODE_MEMORY_FILE_H_
