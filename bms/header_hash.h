// The header lines of a chart (#TITLE, #BPM, #STOP01 ...) by upper-cased key.
#ifndef BMS_HEADER_HASH_H_
#define BMS_HEADER_HASH_H_

#include <cstdint>
#include <memory>

// One header: key (upper-cased), value (as written) and the next entry of the
// same bucket, which this entry does not own.
class BmsHeaderOne {
public:
    // A null value is stored as the empty text.
    BmsHeaderOne(const char* key, const char* value);
    BmsHeaderOne(const BmsHeaderOne&) = delete;
    BmsHeaderOne& operator=(const BmsHeaderOne&) = delete;

    const char* getKey() const { return key.get(); }
    const char* getValue() const { return value.get(); }
    BmsHeaderOne* getNext() const { return next; }
    void setNext(BmsHeaderOne* entry) { next = entry; }

private:
    friend class BmsHeaderHash;  // relinks chains through `next`

    std::unique_ptr<char[]> key;
    std::unique_ptr<char[]> value;
    BmsHeaderOne* next;
};

// A hash table of 79 singly linked buckets that owns its entries. Keys are
// unique and compared after upper-casing, so "bpm" finds "BPM".
class BmsHeaderHash {
public:
    static constexpr int BUCKET_COUNT = 79;

    BmsHeaderHash();
    ~BmsHeaderHash();
    BmsHeaderHash(const BmsHeaderHash&) = delete;
    BmsHeaderHash& operator=(const BmsHeaderHash&) = delete;

    // Adds the entry, replacing one with the same key. A null key adds nothing.
    void add(const char* key, const char* value);
    // The entry of the key, or null.
    BmsHeaderOne* find(const char* key) const;
    // The value of the key, or "" when absent; never null.
    const char* get(const char* key) const;
    // Unlinks the entry and hands it to the caller; null when absent.
    std::unique_ptr<BmsHeaderOne> detach(const char* key);
    // Detaches and destroys; true if the key was present.
    bool remove(const char* key);
    // Destroys every entry; returns how many there were.
    int clear();
    int getCount() const { return count; }
    // The bucket of a key: h = h * 37 + byte over the upper-cased key in
    // unsigned 32-bit arithmetic, then h mod 79.
    static int hashKey(const char* key);

private:
    BmsHeaderOne* buckets[BUCKET_COUNT];
    int count;
};

#endif  // BMS_HEADER_HASH_H_
