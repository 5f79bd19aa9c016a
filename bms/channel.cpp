#include "bms/channel.h"

#include <climits>

BmsBuffer::BmsBuffer(int size)
    : size(size > 0 ? size : 0), words(new BmsWord[this->size]), used(0), usedStale(false) {}

BmsBuffer::~BmsBuffer() = default;

BmsWord BmsBuffer::set(int index, const BmsWord& word) {
    if (index < 0 || index >= size) return BmsWord();
    BmsWord previous = words[index];
    words[index] = word;
    if (word.differs("00")) {
        if (index >= used) used = index + 1;
    } else if (index + 1 == used) {
        usedStale = true;
    }
    return previous;
}

int BmsBuffer::extend(int index) {
    if (index < size) return size;
    // 64-bit, so that growing towards the int limit cannot overflow.
    long long grown = size;
    while (grown <= index) grown += GROW_STEP;
    if (grown > INT_MAX) grown = INT_MAX;
    std::unique_ptr<BmsWord[]> bigger(new BmsWord[static_cast<size_t>(grown)]);
    for (int i = 0; i < size; ++i) bigger[i] = words[i];
    words = std::move(bigger);
    size = static_cast<int>(grown);
    return size;
}

BmsWord BmsBuffer::put(int index, const BmsWord& word) {
    extend(index);
    return set(index, word);
}

bool BmsBuffer::remove(int index) {
    if (index < 0 || index >= size) return false;
    return set(index, BmsWord()).differs("00");
}

int BmsBuffer::clear() {
    int removed = 0;
    int end = getUsedSize();
    for (int i = 0; i < end; ++i) {
        if (words[i].differs("00")) {
            words[i] = BmsWord();
            ++removed;
        }
    }
    used = 0;
    usedStale = false;
    return removed;
}

bool BmsBuffer::contains(const BmsWord& word) const {
    // Past the last object every position is "00".
    if (word.equals("00") && getUsedSize() < size) return true;
    int end = word.equals("00") ? size : getUsedSize();
    for (int i = 0; i < end; ++i) {
        if (words[i] == word) return true;
    }
    return false;
}

int BmsBuffer::getUsedSize() const {
    if (usedStale) {
        while (used > 0 && words[used - 1].equals("00")) --used;
        usedStale = false;
    }
    return used;
}

BmsChannel::BmsChannel(const BmsWord& id)
    : BmsBuffer(INITIAL_SIZE), id(id), nextLane(nullptr), next(nullptr) {}

BmsChannel::~BmsChannel() {
    // Unlink the chain first and free it in a loop: a chart may hold very many
    // lanes of channel 01, too many for one nested destructor call per lane.
    BmsChannel* lane = nextLane;
    while (lane) {
        BmsChannel* following = lane->nextLane;
        lane->nextLane = nullptr;
        delete lane;
        lane = following;
    }
}

bool BmsChannel::setNextLane(BmsChannel* lane) {
    if (!lane || lane == this || lane->id != id) return false;
    if (lane == nextLane) return true;
    BmsChannel* old = nextLane;
    nextLane = lane;
    delete old;
    return true;
}
