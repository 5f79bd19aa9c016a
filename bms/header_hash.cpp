#include "bms/header_hash.h"

#include "bms/text.h"
#include "bms/word.h"

namespace {

// Compares a stored (upper-cased) key with a key of any case without copying it.
bool sameKey(const char* stored, const char* key) {
    for (;; ++stored, ++key) {
        int a = static_cast<unsigned char>(*stored);
        int b = BmsToUpper(static_cast<unsigned char>(*key));
        if (a != b) return false;
        if (a == 0) return true;
    }
}

}  // namespace

BmsHeaderOne::BmsHeaderOne(const char* key, const char* value)
    : key(copyText(key ? key : "", true)),
      value(copyText(value ? value : "", false)),
      next(nullptr) {}

BmsHeaderHash::BmsHeaderHash() : buckets(), count(0) {}

BmsHeaderHash::~BmsHeaderHash() {
    clear();
}

int BmsHeaderHash::hashKey(const char* key) {
    uint32_t h = 0;
    for (; key && *key; ++key) h = h * 37u + BmsToUpper(static_cast<unsigned char>(*key));
    return static_cast<int>(h % BUCKET_COUNT);
}

void BmsHeaderHash::add(const char* key, const char* value) {
    if (!key) return;
    remove(key);
    BmsHeaderOne* entry = new BmsHeaderOne(key, value);
    BmsHeaderOne** link = &buckets[hashKey(key)];
    while (*link) link = &(*link)->next;
    *link = entry;
    ++count;
}

BmsHeaderOne* BmsHeaderHash::find(const char* key) const {
    if (!key) return nullptr;
    for (BmsHeaderOne* entry = buckets[hashKey(key)]; entry; entry = entry->getNext()) {
        if (sameKey(entry->getKey(), key)) return entry;
    }
    return nullptr;
}

const char* BmsHeaderHash::get(const char* key) const {
    BmsHeaderOne* entry = find(key);
    return entry ? entry->getValue() : "";
}

std::unique_ptr<BmsHeaderOne> BmsHeaderHash::detach(const char* key) {
    if (!key) return nullptr;
    for (BmsHeaderOne** link = &buckets[hashKey(key)]; *link; link = &(*link)->next) {
        BmsHeaderOne* entry = *link;
        if (!sameKey(entry->getKey(), key)) continue;
        *link = entry->getNext();
        entry->setNext(nullptr);
        --count;
        return std::unique_ptr<BmsHeaderOne>(entry);
    }
    return nullptr;
}

bool BmsHeaderHash::remove(const char* key) {
    return detach(key) != nullptr;
}

int BmsHeaderHash::clear() {
    int removed = count;
    for (BmsHeaderOne*& head : buckets) {
        while (head) {
            BmsHeaderOne* entry = head;
            head = entry->getNext();
            delete entry;
        }
    }
    count = 0;
    return removed;
}
