#include "bms/channel.h"

#include <climits>

BmsBuffer::BmsBuffer(int size) : size(size > 0 ? size : 0), used(0), usedStale(false) {}

BmsBuffer::~BmsBuffer() = default;

BmsBuffer::Page* BmsBuffer::findPage(int index) const {
    size_t block = static_cast<size_t>(index) >> BLOCK_SHIFT;
    if (block >= blocks.size() || !blocks[block]) return nullptr;
    return blocks[block]->pages[(index >> PAGE_SHIFT) & (PAGES_PER_BLOCK - 1)].get();
}

BmsBuffer::Page* BmsBuffer::makePage(int index) {
    size_t block = static_cast<size_t>(index) >> BLOCK_SHIFT;
    if (block >= blocks.size()) blocks.resize(block + 1);
    if (!blocks[block]) blocks[block].reset(new Block);
    std::unique_ptr<Page>& page =
        blocks[block]->pages[(index >> PAGE_SHIFT) & (PAGES_PER_BLOCK - 1)];
    if (!page) page.reset(new Page);
    return page.get();
}

BmsWord BmsBuffer::set(int index, const BmsWord& word) {
    if (index < 0 || index >= size) return BmsWord();
    bool empty = word.equals("00");
    // Emptying a position of a missing page changes nothing.
    Page* page = empty ? findPage(index) : makePage(index);
    if (!page) return BmsWord();
    BmsWord& slot = page->words[index & (PAGE_WORDS - 1)];
    BmsWord previous = slot;
    slot = word;
    if (!empty) {
        if (index >= used) used = index + 1;
    } else if (index + 1 == used) {
        usedStale = true;
    }
    return previous;
}

int BmsBuffer::extend(int index) {
    if (index < size) return size;
    // 64-bit, so that growing towards the int limit cannot overflow.
    long long steps = (static_cast<long long>(index) - size) / GROW_STEP + 1;
    long long grown = size + steps * GROW_STEP;
    size = grown > INT_MAX ? INT_MAX : static_cast<int>(grown);
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
    for (const std::unique_ptr<Block>& block : blocks) {
        if (!block) continue;
        for (const std::unique_ptr<Page>& page : block->pages) {
            if (!page) continue;
            for (const BmsWord& word : page->words) removed += word.differs("00");
        }
    }
    blocks.clear();
    used = 0;
    usedStale = false;
    return removed;
}

bool BmsBuffer::contains(const BmsWord& word) const {
    if (word.equals("00")) {
        // Past the last object every position is "00"; before it, any position
        // of a missing page is.
        int end = getUsedSize();
        if (end < size) return true;
        for (int i = 0; i < end; ++i) {
            if (get(i).equals("00")) return true;
        }
        return false;
    }
    for (const std::unique_ptr<Block>& block : blocks) {
        if (!block) continue;
        for (const std::unique_ptr<Page>& page : block->pages) {
            if (!page) continue;
            for (const BmsWord& held : page->words) {
                if (held == word) return true;
            }
        }
    }
    return false;
}

int BmsBuffer::getUsedSize() const {
    if (!usedStale) return used;
    // Walk down from the old end, passing over missing pages whole.
    while (used > 0) {
        int index = used - 1;
        Page* page = findPage(index);
        if (!page) {
            used = index & ~(PAGE_WORDS - 1);
            continue;
        }
        if (page->words[index & (PAGE_WORDS - 1)].differs("00")) break;
        --used;
    }
    usedStale = false;
    return used;
}

int BmsBuffer::findObject(int from) const {
    const long long end = getUsedSize();
    // 64-bit, so that stepping past the last page cannot overflow.
    long long index = from < 0 ? 0 : from;
    while (index < end) {
        size_t block = static_cast<size_t>(index) >> BLOCK_SHIFT;
        if (block >= blocks.size()) break;
        if (!blocks[block]) {
            index = static_cast<long long>(block + 1) << BLOCK_SHIFT;
            continue;
        }
        const Page* page =
            blocks[block]->pages[(index >> PAGE_SHIFT) & (PAGES_PER_BLOCK - 1)].get();
        if (!page) {
            index = (index | (PAGE_WORDS - 1)) + 1;
            continue;
        }
        if (page->words[index & (PAGE_WORDS - 1)].differs("00")) return static_cast<int>(index);
        ++index;
    }
    return static_cast<int>(end);
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
