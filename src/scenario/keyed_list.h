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
template <typename T>
class KeyedList {
  public:
    using Ptr = std::shared_ptr<T>;

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const Ptr& operator[](std::size_t i) const { return items_[i]; }
    const std::string& key_at(std::size_t i) const { return keys_[i]; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    // Adds at the end. A key already present fails with AppError 457 and changes nothing.
    void add(Ptr item, const std::string& key) {
        std::string k = upper(key);
        if (index_.count(k))
            throw duplicate_key_error();
        index_.emplace(k, items_.size());
        items_.push_back(std::move(item));
        keys_.push_back(key);
    }
    // Adds unless the key is present; returns whether it was added.
    bool add_if_new(Ptr item, const std::string& key) {
        if (contains(key))
            return false;
        add(std::move(item), key);
        return true;
    }
    bool contains(const std::string& key) const { return index_.count(upper(key)) != 0; }
    Ptr find(const std::string& key) const {
        auto it = index_.find(upper(key));
        return it == index_.end() ? nullptr : items_[it->second];
    }
    void remove_at(std::size_t i) {
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(i));
        reindex();
    }
    bool remove(const std::string& key) {
        auto it = index_.find(upper(key));
        if (it == index_.end())
            return false;
        remove_at(it->second);
        return true;
    }
    void clear() {
        items_.clear();
        keys_.clear();
        index_.clear();
    }
    // Empties this list, then adds every item of `source` in order under its key.
    void copy_from(const KeyedList& source) {
        if (&source == this)
            return;
        clear();
        for (std::size_t i = 0; i < source.size(); ++i)
            add(source.items_[i], source.keys_[i]);
    }

  private:
    void reindex() {
        index_.clear();
        for (std::size_t i = 0; i < keys_.size(); ++i)
            index_.emplace(upper(keys_[i]), i);
    }

    std::vector<Ptr> items_;
    std::vector<std::string> keys_;
    std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace qv
