#include "text/native_path.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifdef _WIN32
std::filesystem::path toFsPath(const std::string& path) {
    if (path.empty()) return std::filesystem::path();
    const int size = static_cast<int>(path.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), size, &wide[0], length);
    return std::filesystem::path(wide);
}

std::string fromFsPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    if (wide.empty()) return std::string();
    const int size = static_cast<int>(wide.size());
    // No best fit: a character that the code page lacks must not turn into another file's name.
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                           0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &narrow[0], length,
                        nullptr, nullptr);
    return narrow;
}
#else
std::filesystem::path toFsPath(const std::string& path) {
    return std::filesystem::path(path);
}

std::string fromFsPath(const std::filesystem::path& path) {
    return path.string();
}
#endif
