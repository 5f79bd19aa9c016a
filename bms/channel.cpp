#include "bms/channel.h"

#include <algorithm>
#include <climits>
#include <utility>

BmsBuffer::BmsBuffer(int size)
    : size(size > 0 ? size : 0), count(0), cursorChunk(0), cursorEntry(0) {}

BmsBuffer::~BmsBuffer() = default;

size_t BmsBuffer::findChunk(int index) const {
    auto found = std::partition_point(chunks.begin(), chunks.end(), [index](const Chunk& chunk) {
        return chunk.back().tic < index;
    });
    return static_cast<size_t>(found - chunks.begin());
}

BmsBuffer::Chunk::const_iterator BmsBuffer::findEntry(const Chunk& chunk, int index) {
    return std::partition_point(chunk.begin(), chunk.end(),
                                [index](const Entry& entry) { return entry.tic < index; });
}

const BmsBuffer::Entry& BmsBuffer::seek(int index) const {
    if (!cursorFits(index)) {
        // Perhaps the entry after the cursor.
        if (cursorChunk < chunks.size() && ++cursorEntry >= chunks[cursorChunk].size()) {
            ++cursorChunk;
            cursorEntry = 0;
        }
        if (!cursorFits(index)) {
            cursorChunk = findChunk(index);
            cursorEntry = static_cast<size_t>(findEntry(chunks[cursorChunk], index) -
                                              chunks[cursorChunk].cbegin());
        }
    }
    return chunks[cursorChunk][cursorEntry];
}

BmsWord BmsBuffer::set(int index, const BmsWord& word) {
    if (index < 0 || index >= size) return BmsWord();
    size_t chunk = findChunk(index);
    return word.equals("00") ? erase(chunk, index) : insert(chunk, index, word);
}

BmsWord BmsBuffer::insert(size_t chunk, int index, const BmsWord& word) {
    if (chunk == chunks.size()) {
        // Past the last object, the common case while a chart is read: chunks
        // fill up one after the other.
        if (chunks.empty() || chunks.back().size() >= CHUNK_LIMIT) chunks.emplace_back();
        chunks.back().push_back({index, word});
        ++count;
        return BmsWord();
    }
    auto entry = findEntry(chunks[chunk], index);
    if (entry->tic == index) {
        Entry& held = chunks[chunk][entry - chunks[chunk].cbegin()];
        BmsWord previous = held.word;
        held.word = word;
        return previous;
    }
    if (chunks[chunk].size() >= CHUNK_LIMIT) {
        // A full chunk gives its upper half to a new one after it.
        Chunk& full = chunks[chunk];
        Chunk upper(full.begin() + CHUNK_LIMIT / 2, full.end());
        full.erase(full.begin() + CHUNK_LIMIT / 2, full.end());
        chunks.insert(chunks.begin() + chunk + 1, std::move(upper));
        if (chunks[chunk].back().tic < index) ++chunk;
        entry = findEntry(chunks[chunk], index);
    }
    Chunk& target = chunks[chunk];
    target.insert(target.begin() + (entry - target.cbegin()), Entry{index, word});
    ++count;
    return BmsWord();
}

BmsWord BmsBuffer::erase(size_t chunk, int index) {
    if (chunk == chunks.size()) return BmsWord();
    Chunk& held = chunks[chunk];
    auto entry = findEntry(held, index);
    if (entry->tic != index) return BmsWord();
    BmsWord previous = entry->word;
    held.erase(entry);
    --count;
    if (held.empty()) chunks.erase(chunks.begin() + chunk);
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
    int removed = count;
    std::vector<Chunk>().swap(chunks);
    count = 0;
    return removed;
}

bool BmsBuffer::contains(const BmsWord& word) const {
    // Every position that holds no object reads "00".
    if (word.equals("00")) return count < size;
    for (const Chunk& chunk : chunks) {
        for (const Entry& entry : chunk) {
            if (entry.word == word) return true;
        }
    }
    return false;
}

int BmsBuffer::findObject(int from) const {
    if (from < 0) from = 0;
    if (from >= getUsedSize()) return getUsedSize();
    return seek(from).tic;
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
