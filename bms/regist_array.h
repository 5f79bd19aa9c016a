// The registered file names of one kind (#WAVxx or #BMPxx), one slot per word.
#ifndef BMS_REGIST_ARRAY_H_
#define BMS_REGIST_ARRAY_H_

#include <memory>

#include "bms/word.h"

// One slot per word, indexed by the word's numeric value, each empty or holding an owned
// text stored exactly as given.
class BmsRegistArray {
public:
    static constexpr int SLOT_COUNT = BMS_WORD_COUNT;

    // The prefix is kept upper-cased; null gives an empty prefix.
    explicit BmsRegistArray(const char* prefix);
    ~BmsRegistArray();
    BmsRegistArray(const BmsRegistArray&) = delete;
    BmsRegistArray& operator=(const BmsRegistArray&) = delete;

    const char* getPrefix() const { return prefix.get(); }
    // Stores a copy of the text (a null text empties the slot); true when the
    // slot held a text before, which is then destroyed.
    bool set(const BmsWord& word, const char* text);
    bool exists(const BmsWord& word) const;
    // The slot's text, or "" when the slot is empty; never null.
    const char* get(const BmsWord& word) const;
    // Hands the slot's text to the caller and empties the slot; null when empty.
    std::unique_ptr<char[]> take(const BmsWord& word);
    // Destroys the slot's text; true if there was one.
    bool remove(const BmsWord& word);
    // Empties every slot; returns how many held a text.
    int clear();
    // Number of slots holding a text.
    int count() const { return used; }
    // True when the key is the prefix (any case) followed by two letters or
    // digits and then the end of the text, a space or a tab: WAV01, wav0z.
    bool matchKey(const char* key) const;
    // The slot a matching key names: the word of the two characters after the
    // prefix. Only meaningful when `matchKey` is true.
    BmsWord slotOfKey(const char* key) const;

private:
    std::unique_ptr<char[]> prefix;
    std::unique_ptr<char[]> slots[SLOT_COUNT];
    int used;
};

#endif  // BMS_REGIST_ARRAY_H_
