#include "wav/riff.h"

namespace riff {

bool readU32(std::FILE* file, uint32_t* value) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4) return false;
    *value = le32(bytes);
    return true;
}

bool readS16(std::FILE* file, int* value) {
    uint8_t bytes[2];
    if (std::fread(bytes, 1, 2, file) != 2) return false;
    *value = static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | bytes[1] << 8));
    return true;
}

bool skipForward(std::FILE* file, uint32_t size) {
    if (size > MAX_BLOCK_SIZE) return false;
    return std::fseek(file, static_cast<long>(size), SEEK_CUR) == 0;
}

int64_t bytesLeft(std::FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0) return -1;
    return end < here ? -1 : static_cast<int64_t>(end) - here;
}

}  // namespace riff
