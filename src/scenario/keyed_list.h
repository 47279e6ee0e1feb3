#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
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
        const std::uint32_t h = key_hash(key);
        // A list shared with a copy is checked before it is copied for its own change, so that
        // a refused key copies nothing.
        if (data_ && data_.use_count() > 1 && data_->position(key, h) != npos)
            throw duplicate_key_error();
        Data& d = own();
        if (d.position(key, h) != npos)
            throw duplicate_key_error();
        d.items.push_back(std::move(item));
        d.keys.push_back(key);
        d.index_last(h);
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
        if (any)
            remove_marked(gone);
    }
    // Removes the items at the positions marked in `gone` (one flag per item, in order), in
    // one pass.
    void remove_marked(const std::vector<bool>& gone) {
        if (std::find(gone.begin(), gone.end(), true) == gone.end())
            return;
        Data& d = own();
        std::size_t kept = 0;
        for (std::size_t i = 0; i < d.items.size(); ++i) {
            if (i < gone.size() && gone[i])
                continue;
            if (kept != i) {
                d.items[kept] = std::move(d.items[i]);
                d.keys[kept] = std::move(d.keys[i]);
            }
            ++kept;
        }
        d.items.resize(kept);
        d.keys.resize(kept);
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

    // The hash of a key without regard to the case of its ASCII letters, taken eight bytes at a
    // time with their lower-case letters made capitals.
    static std::uint32_t key_hash(std::string_view key) {
        constexpr std::uint64_t ones = 0x0101010101010101ull, high = ones * 0x80;
        auto capitals = [&](std::uint64_t w) {
            const std::uint64_t low = w & ~high;
            const std::uint64_t from_a = (low + ones * (0x80 - 'a')) & high;
            const std::uint64_t past_z = (low + ones * (0x80 - 'z' - 1)) & high;
            return w ^ ((from_a & ~past_z & ~w) >> 2);
        };
        auto take = [](std::uint64_t h, std::uint64_t w) {
            h = (h ^ w) * 0x9e3779b97f4a7c15ull;
            return h ^ (h >> 29);
        };
        std::uint64_t h = key.size();
        const char* p = key.data();
        std::size_t n = key.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            h = take(h, capitals(w));
        }
        if (n > 0) {
            std::uint64_t w = 0;
            std::memcpy(&w, p, n);
            h = take(h, capitals(w));
        }
        h *= 0xc2b2ae3d27d4eb4full;
        return static_cast<std::uint32_t>(h >> 32);
    }

    struct Data {
        std::vector<Ptr> items;
        std::vector<std::string> keys;
        // The key index: open addressing over a power of two of entries, never more than half
        // full. An entry holds a key's hash in its high half and its position + 1 in its low
        // half, 0 when free. A key met twice keeps its first position.
        std::vector<std::uint64_t> table;

        static std::uint64_t entry_of(std::uint32_t h, std::size_t i) {
            return (std::uint64_t{h} << 32) | static_cast<std::uint32_t>(i + 1);
        }

        std::size_t position(std::string_view key, std::uint32_t h) const {
            if (table.empty())
                return npos;
            const std::size_t mask = table.size() - 1;
            for (std::size_t at = h & mask;; at = (at + 1) & mask) {
                const std::uint64_t entry = table[at];
                if (entry == 0)
                    return npos;
                const std::size_t i = static_cast<std::uint32_t>(entry) - 1;
                if (entry >> 32 == h && iequals(keys[i], key))
                    return i;
            }
        }
        // Enters an entry whose key the table does not hold.
        void put(std::uint64_t entry) {
            const std::size_t mask = table.size() - 1;
            std::size_t at = (entry >> 32) & mask;
            while (table[at] != 0)
                at = (at + 1) & mask;
            table[at] = entry;
        }
        // Enters the key added last, whose key the table does not hold, first doubling the
        // table when it would be over half full.
        void index_last(std::uint32_t h) {
            if (keys.size() * 2 > table.size()) {
                std::vector<std::uint64_t> old(std::max<std::size_t>(16, table.size() * 2), 0);
                old.swap(table);
                for (std::uint64_t entry : old)
                    if (entry != 0)
                        put(entry);
            }
            put(entry_of(h, keys.size() - 1));
        }
        void reindex() {
            std::size_t n = 16;
            while (n < keys.size() * 2)
                n *= 2;
            table.assign(n, 0);
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const std::uint32_t h = key_hash(keys[i]);
                if (position(keys[i], h) == npos)
                    put(entry_of(h, i));
            }
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
