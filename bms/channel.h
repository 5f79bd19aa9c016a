// Lanes of objects: a growable array of words indexed by tic, and the lane of
// one channel that chains further lanes of the same channel.
#ifndef BMS_CHANNEL_H_
#define BMS_CHANNEL_H_

#include <cstddef>
#include <vector>

#include "bms/word.h"

// A growable array of words, "00" at every position that holds no object.
// Positions are tics; reads and writes outside 0 to size - 1 are neutral. The
// size is logical: growing it allocates nothing. Reads move a cursor, so one
// buffer is read from one thread at a time.
class BmsBuffer {
public:
    // Lanes grow in steps of ten 4/4 bars.
    static constexpr int GROW_STEP = 3840;

    // `size` positions, all "00"; a negative size gives 0.
    explicit BmsBuffer(int size);
    virtual ~BmsBuffer();
    BmsBuffer(const BmsBuffer&) = delete;
    BmsBuffer& operator=(const BmsBuffer&) = delete;

    int getSize() const { return size; }
    // The word at `index`, "00" outside the buffer. No allocation; constant
    // time when the positions asked for rise, logarithmic in the number of
    // objects otherwise.
    BmsWord get(int index) const {
        if (index < 0 || index >= getUsedSize()) return BmsWord();
        const Entry& entry = cursorFits(index) ? chunks[cursorChunk][cursorEntry] : seek(index);
        return entry.tic == index ? entry.word : BmsWord();
    }
    // Stores the word and returns the one that was there; outside the buffer
    // nothing is stored and "00" is returned.
    BmsWord set(int index, const BmsWord& word);
    // Grows the buffer in steps of 3840 until it holds `index` (new positions
    // "00") and returns the size. The size never exceeds the largest int, so an
    // index of that value cannot be held.
    int extend(int index);
    // `extend` then `set`; returns the previous word.
    BmsWord put(int index, const BmsWord& word);
    // Empties the position; true if it held an object.
    bool remove(int index);
    // Empties every position; returns how many held an object.
    int clear();
    // True if any position holds exactly this word.
    bool contains(const BmsWord& word) const;
    // One past the highest position holding an object, 0 for an empty buffer:
    // positions from here on read "00". Constant time.
    int getUsedSize() const { return chunks.empty() ? 0 : chunks.back().back().tic + 1; }
    // The first position from `from` on that holds an object, or `getUsedSize()`
    // when there is none. Constant time when stepping from one object to the
    // next, logarithmic in the number of objects otherwise, whatever the
    // distance between them.
    int findObject(int from) const;
    // Number of positions holding an object.
    int getObjectCount() const { return count; }

private:
    // Only objects are stored, each with its position, so that a lane costs
    // memory in proportion to what it holds. They are kept in ascending order
    // of position, cut into chunks of at most CHUNK_LIMIT so that writing into
    // the middle of a long lane moves little.
    struct Entry {
        int tic;
        BmsWord word;
    };
    using Chunk = std::vector<Entry>;
    static constexpr size_t CHUNK_LIMIT = 512;

    // The first chunk whose last position is `index` or beyond: the one that
    // holds or would hold `index`. `chunks.size()` when `index` lies past the
    // last object.
    size_t findChunk(int index) const;
    // The first entry of the chunk at position `index` or beyond.
    static Chunk::const_iterator findEntry(const Chunk& chunk, int index);
    // The first entry at position `index` or beyond, which must lie before
    // the end of the objects. A walk through the lane asks for the entry it
    // found last or the one after it, which the cursor gives without a search.
    const Entry& seek(int index) const;
    // True when the entry at the cursor is the first at `index` or beyond.
    bool cursorFits(int index) const {
        if (cursorChunk >= chunks.size()) return false;
        const Chunk& chunk = chunks[cursorChunk];
        if (cursorEntry >= chunk.size() || chunk[cursorEntry].tic < index) return false;
        if (cursorEntry > 0) return chunk[cursorEntry - 1].tic < index;
        return cursorChunk == 0 || chunks[cursorChunk - 1].back().tic < index;
    }
    BmsWord insert(size_t chunk, int index, const BmsWord& word);
    BmsWord erase(size_t chunk, int index);

    int size;
    int count;
    std::vector<Chunk> chunks;
    // Where the last read found its entry; checked before every use, so it
    // needs no care when objects change.
    mutable size_t cursorChunk;
    mutable size_t cursorEntry;
};

// One lane of a channel. The chart's channel list links first lanes through
// `next`; further lanes of the same channel (only channel 01 has them) hang
// from the first through `nextLane`, each lane owning the one after it.
class BmsChannel : public BmsBuffer {
public:
    // A new lane holds ten 4/4 bars.
    static constexpr int INITIAL_SIZE = 3840;

    explicit BmsChannel(const BmsWord& id);
    // Destroys the chain of next lanes too (not the next channel).
    ~BmsChannel() override;

    const BmsWord& getId() const { return id; }
    void setId(const BmsWord& channel) { id = channel; }
    BmsChannel* getNextLane() const { return nextLane; }
    // Links `lane` as the next lane when its id equals this lane's id: this lane
    // then owns it (a next lane it had before is destroyed) and true is returned.
    // Otherwise nothing is linked, the caller keeps `lane`, and false is returned.
    bool setNextLane(BmsChannel* lane);
    // The next entry of the chart's channel list; not owned by this lane.
    BmsChannel* getNext() const { return next; }
    void setNext(BmsChannel* channel) { next = channel; }

private:
    BmsWord id;
    BmsChannel* nextLane;  // owned
    BmsChannel* next;      // not owned
};

#endif  // BMS_CHANNEL_H_
