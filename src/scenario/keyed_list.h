#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/app_error.h"
#include "scenario/text.h"

namespace qv {

// An ordered collection with a unique key per item. Items are shared: copying the list into
// another (copy_from) puts the same items into both, as the working lists of the dialogs expect.
// Keys compare without regard to letter case.
//
// Copies of a list share its order and key index until one of them changes, so that keeping a
// scenario as it was read or saved costs nothing however long its file lists are.
template <typename T>
class KeyedList {
  public:
    using Ptr = std::shared_ptr<T>;

    std::size_t size() const { return data_ ? data_->items.size() : 0; }
    bool empty() const { return size() == 0; }
    const Ptr& operator[](std::size_t i) const { return data_->items[i]; }
    const std::string& key_at(std::size_t i) const { return data_->keys[i]; }
    auto begin() const { return data_ ? data_->items.cbegin() : none().items.cbegin(); }
    auto end() const { return data_ ? data_->items.cend() : none().items.cend(); }

    // Adds at the end. A key already present fails with AppError 457 and changes nothing.
    void add(Ptr item, const std::string& key) {
        const std::size_t h = key_hash(key);
        // A list shared with a copy is checked before it is copied for its own change, so that
        // a refused key copies nothing.
        if (data_ && data_.use_count() > 1 && data_->position(key, h) != npos)
            throw duplicate_key_error();
        Data& d = own();
        if (d.position(key, h) != npos)
            throw duplicate_key_error();
        d.items.push_back(std::move(item));
        d.keys.push_back(key);
        d.hashes.push_back(h);
        d.index_last();
    }
    // Adds unless the key is present; returns whether it was added.
    bool add_if_new(Ptr item, const std::string& key) {
        if (contains(key))
            return false;
        add(std::move(item), key);
        return true;
    }
    bool contains(const std::string& key) const { return position_of(key) != npos; }
    Ptr find(const std::string& key) const {
        const std::size_t i = position_of(key);
        return i == npos ? nullptr : data_->items[i];
    }
    void remove_at(std::size_t i) {
        Data& d = own();
        const auto at = static_cast<std::ptrdiff_t>(i);
        d.items.erase(d.items.begin() + at);
        d.keys.erase(d.keys.begin() + at);
        d.hashes.erase(d.hashes.begin() + at);
        d.reindex();
    }
    bool remove(const std::string& key) {
        const std::size_t i = position_of(key);
        if (i == npos)
            return false;
        remove_at(i);
        return true;
    }
    // Removes the items of all the given keys that are present, in one pass however many.
    void remove_all(const std::vector<std::string>& keys) {
        if (!data_)
            return;
        std::vector<bool> gone(data_->items.size(), false);
        bool any = false;
        for (const std::string& key : keys)
            if (const std::size_t i = data_->position(key, key_hash(key)); i != npos) {
                gone[i] = true;
                any = true;
            }
        if (!any)
            return;
        Data& d = own();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < d.items.size(); ++i) {
            if (gone[i])
                continue;
            if (kept != i) {
                d.items[kept] = std::move(d.items[i]);
                d.keys[kept] = std::move(d.keys[i]);
                d.hashes[kept] = d.hashes[i];
            }
            ++kept;
        }
        d.items.resize(kept);
        d.keys.resize(kept);
        d.hashes.resize(kept);
        d.reindex();
    }
    void clear() { data_.reset(); }
    // The same keys (letter case too) in the same order, with equal items.
    bool operator==(const KeyedList& other) const {
        if (data_ == other.data_)
            return true;
        if (size() != other.size())
            return false;
        for (std::size_t i = 0; i < size(); ++i) {
            const Ptr& a = data_->items[i];
            const Ptr& b = other.data_->items[i];
            if (data_->keys[i] != other.data_->keys[i] || (a != b && !(a && b && *a == *b)))
                return false;
        }
        return true;
    }
    // Empties this list, then adds every item of `source` in order under its key.
    void copy_from(const KeyedList& source) { data_ = source.data_; }

  private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The hash of a key without regard to the case of its ASCII letters (FNV-1a of the
    // upper-cased bytes).
    static std::size_t key_hash(std::string_view key) {
        std::uint64_t h = 0xcbf29ce484222325ull;
        for (char c : key) {
            const char u = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            h = (h ^ static_cast<unsigned char>(u)) * 0x100000001b3ull;
        }
        return static_cast<std::size_t>(h ^ (h >> 29));
    }

    struct Data {
        std::vector<Ptr> items;
        std::vector<std::string> keys;
        std::vector<std::size_t> hashes;  // key_hash of each key
        // The key index: open addressing over a power of two of entries, each a position + 1,
        // 0 when free; never more than half full. A key met twice keeps its first position.
        std::vector<std::uint32_t> table;

        std::size_t position(std::string_view key, std::size_t h) const {
            if (table.empty())
                return npos;
            const std::size_t mask = table.size() - 1;
            for (std::size_t at = h & mask;; at = (at + 1) & mask) {
                const std::uint32_t entry = table[at];
                if (entry == 0)
                    return npos;
                const std::size_t i = entry - 1;
                if (hashes[i] == h && iequals(keys[i], key))
                    return i;
            }
        }
        // Enters the key of position i, unless an earlier position holds it.
        void enter(std::size_t i) {
            const std::size_t mask = table.size() - 1;
            std::size_t at = hashes[i] & mask;
            for (; table[at] != 0; at = (at + 1) & mask)
                if (hashes[table[at] - 1] == hashes[i] && iequals(keys[table[at] - 1], keys[i]))
                    return;
            table[at] = static_cast<std::uint32_t>(i + 1);
        }
        // Enters the key added last, first growing the index when it would be over half full.
        void index_last() {
            if (keys.size() * 2 > table.size()) {
                reindex();
                return;
            }
            enter(keys.size() - 1);
        }
        void reindex() {
            std::size_t n = 16;
            while (n < keys.size() * 2)
                n *= 2;
            table.assign(n, 0);
            for (std::size_t i = 0; i < keys.size(); ++i)
                enter(i);
        }
    };

    std::size_t position_of(const std::string& key) const {
        return data_ ? data_->position(key, key_hash(key)) : npos;
    }

    static const Data& none() {
        static const Data empty;
        return empty;
    }

    // The data of this list alone, copied first when another list still shares it.
    Data& own() {
        if (!data_)
            data_ = std::make_shared<Data>();
        else if (data_.use_count() > 1)
            data_ = std::make_shared<Data>(*data_);
        return *data_;
    }

    std::shared_ptr<Data> data_;
};

}  // namespace qv
