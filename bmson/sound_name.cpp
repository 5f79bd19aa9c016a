#include "bmson/sound_name.h"

#include <vector>

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The parts between separators, empty and "." ones left out.
std::vector<std::string> partsOf(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !isSeparator(name[i])) {
            part += name[i];
            continue;
        }
        if (!part.empty() && part != ".") parts.push_back(part);
        part.clear();
    }
    return parts;
}

// Windows drops trailing dots and blanks from a part, so "..." and ".. " reach the parent too.
bool climbsUp(const std::string& part) {
    int dots = 0;
    for (char c : part) {
        if (c == '.')
            ++dots;
        else if (c != ' ')
            return false;
    }
    return dots >= 2;
}

}  // namespace

BmsonNameProblem BmsonCheckSoundName(const std::string& name) {
    if (name.find('\0') != std::string::npos) return BmsonNameProblem::NUL;
    if (!name.empty() && isSeparator(name[0])) return BmsonNameProblem::ABSOLUTE;
    if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':')
        return BmsonNameProblem::ABSOLUTE;
    const std::vector<std::string> parts = partsOf(name);
    if (parts.empty()) return BmsonNameProblem::EMPTY;
    for (const std::string& part : parts)
        if (climbsUp(part)) return BmsonNameProblem::PARENT;
    return BmsonNameProblem::NONE;
}

std::string BmsonNormalizeSoundName(const std::string& name) {
    std::string normal;
    for (const std::string& part : partsOf(name)) {
        if (!normal.empty()) normal += '/';
        normal += part;
    }
    return normal;
}
