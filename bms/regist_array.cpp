#include "bms/regist_array.h"

#include <cstring>

#include "bms/text.h"

BmsRegistArray::BmsRegistArray(const char* prefix)
    : prefix(copyText(prefix ? prefix : "", true)), used(0) {}

BmsRegistArray::~BmsRegistArray() {
    clear();
}

bool BmsRegistArray::set(const BmsWord& word, const char* text) {
    std::unique_ptr<char[]>& slot = slots[word.toInt()];
    bool held = slot != nullptr;
    slot = copyText(text, false);
    used += (slot != nullptr) - held;
    return held;
}

bool BmsRegistArray::exists(const BmsWord& word) const {
    return slots[word.toInt()] != nullptr;
}

const char* BmsRegistArray::get(const BmsWord& word) const {
    const char* text = slots[word.toInt()].get();
    return text ? text : "";
}

std::unique_ptr<char[]> BmsRegistArray::take(const BmsWord& word) {
    std::unique_ptr<char[]> text = std::move(slots[word.toInt()]);
    if (text) --used;
    return text;
}

bool BmsRegistArray::remove(const BmsWord& word) {
    return take(word) != nullptr;
}

int BmsRegistArray::clear() {
    int removed = 0;
    for (int i = 0; i < SLOT_COUNT; ++i) removed += remove(BmsWord(i));
    return removed;
}

bool BmsRegistArray::matchKey(const char* key) const {
    if (!key) return false;
    size_t n = std::strlen(prefix.get());
    for (size_t i = 0; i < n; ++i) {
        // A shorter key ends here too: its terminator never equals a prefix byte.
        if (BmsToUpper(static_cast<unsigned char>(key[i])) != static_cast<unsigned char>(prefix[i]))
            return false;
    }
    if (!BmsIsLetterOrDigit(static_cast<unsigned char>(key[n]))) return false;
    if (!BmsIsLetterOrDigit(static_cast<unsigned char>(key[n + 1]))) return false;
    char after = key[n + 2];
    return after == '\0' || after == ' ' || after == '\t';
}

BmsWord BmsRegistArray::slotOfKey(const char* key) const {
    if (!matchKey(key)) return BmsWord();
    size_t n = std::strlen(prefix.get());
    return BmsWord(key[n], key[n + 1]);
}
