// Lanes of objects: a growable array of words indexed by tic, and the lane of
// one channel that chains further lanes of the same channel.
#ifndef BMS_CHANNEL_H_
#define BMS_CHANNEL_H_

#include <cstddef>
#include <memory>
#include <vector>

#include "bms/word.h"

// A growable array of words, "00" at every position that holds no object.
// Positions are tics; reads and writes outside 0 to size - 1 are neutral. The
// size is logical: growing it allocates nothing.
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
    // The word at `index`, "00" outside the buffer. Constant time, no allocation.
    BmsWord get(int index) const {
        if (index < 0 || index >= size) return BmsWord();
        size_t block = static_cast<size_t>(index) >> BLOCK_SHIFT;
        if (block >= blocks.size() || !blocks[block]) return BmsWord();
        const Page* page =
            blocks[block]->pages[(index >> PAGE_SHIFT) & (PAGES_PER_BLOCK - 1)].get();
        return page ? page->words[index & (PAGE_WORDS - 1)] : BmsWord();
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
    // positions from here on read "00". Cheap (cached between changes).
    int getUsedSize() const;
    // The first position from `from` on that holds an object, or `getUsedSize()`
    // when there is none. Passes over unallocated pages whole, so the cost
    // follows the objects, not the distance between them.
    int findObject(int from) const;

private:
    // Words live in pages of 1024 that are allocated on the first object
    // written into them, reached through blocks of 1024 pages: a lane that
    // reaches far into a long chart pays only for the pages it uses.
    static constexpr int PAGE_SHIFT = 10;
    static constexpr int PAGE_WORDS = 1 << PAGE_SHIFT;
    static constexpr int BLOCK_SHIFT = 20;
    static constexpr int PAGES_PER_BLOCK = 1 << (BLOCK_SHIFT - PAGE_SHIFT);
    struct Page {
        BmsWord words[PAGE_WORDS];
    };
    struct Block {
        std::unique_ptr<Page> pages[PAGES_PER_BLOCK];
    };

    // The page holding `index` (within the size), or null when none is allocated.
    Page* findPage(int index) const;
    Page* makePage(int index);

    int size;
    std::vector<std::unique_ptr<Block>> blocks;
    // No position at or beyond `used` holds an object; exact unless `usedStale`.
    mutable int used;
    mutable bool usedStale;
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
