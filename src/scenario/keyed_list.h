#pragma once

#include <memory>
#include <string>
#include <unordered_map>
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
        std::string k = upper(key);
        // A list shared with a copy is checked before it is copied for its own change, so that
        // a refused key copies nothing; a list of its own is looked up once.
        if (data_ && data_.use_count() > 1 && data_->index.count(k))
            throw duplicate_key_error();
        Data& d = own();
        if (!d.index.try_emplace(std::move(k), d.items.size()).second)
            throw duplicate_key_error();
        d.items.push_back(std::move(item));
        d.keys.push_back(key);
    }
    // Adds unless the key is present; returns whether it was added.
    bool add_if_new(Ptr item, const std::string& key) {
        if (contains(key))
            return false;
        add(std::move(item), key);
        return true;
    }
    bool contains(const std::string& key) const {
        return data_ && data_->index.count(upper(key)) != 0;
    }
    Ptr find(const std::string& key) const {
        if (!data_)
            return nullptr;
        auto it = data_->index.find(upper(key));
        return it == data_->index.end() ? nullptr : data_->items[it->second];
    }
    void remove_at(std::size_t i) {
        Data& d = own();
        d.items.erase(d.items.begin() + static_cast<std::ptrdiff_t>(i));
        d.keys.erase(d.keys.begin() + static_cast<std::ptrdiff_t>(i));
        d.reindex();
    }
    bool remove(const std::string& key) {
        if (!data_)
            return false;
        auto it = data_->index.find(upper(key));
        if (it == data_->index.end())
            return false;
        remove_at(it->second);
        return true;
    }
    // Removes the items of all the given keys that are present, in one pass however many.
    void remove_all(const std::vector<std::string>& keys) {
        if (!data_)
            return;
        std::vector<bool> gone(data_->items.size(), false);
        bool any = false;
        for (const std::string& key : keys)
            if (auto it = data_->index.find(upper(key)); it != data_->index.end()) {
                gone[it->second] = true;
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
    struct Data {
        std::vector<Ptr> items;
        std::vector<std::string> keys;
        std::unordered_map<std::string, std::size_t> index;  // upper-cased key -> position

        void reindex() {
            index.clear();
            for (std::size_t i = 0; i < keys.size(); ++i)
                index.emplace(upper(keys[i]), i);
        }
    };

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
