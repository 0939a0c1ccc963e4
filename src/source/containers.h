// The program's two containers: a singly linked list with a cursor, and a growable pointer array
// that can also keep its newest items first (the history lists).
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quorv {

// A list that owns its items. Many operations move the cursor; callers rely on that (the filter
// puts the cursor on a field's condition and then reads the current item).
template <class T> class LinkedList {
    struct Node {
        std::unique_ptr<T> item;
        Node *next = nullptr;
    };

public:
    LinkedList() = default;
    LinkedList(const LinkedList &) = delete;
    LinkedList &operator=(const LinkedList &) = delete;
    ~LinkedList() { listClear(); }

    int count() const { return count_; }
    int index() const { return index_; }
    bool empty() const { return count_ == 0; }
    T *current() const { return current_ ? current_->item.get() : nullptr; }

    // Adds an item at the end, or before the cursor; the new node becomes current.
    T *listAdd(std::unique_ptr<T> item, bool atEnd = true) {
        Node *node = new Node{std::move(item), nullptr};
        if (!first_) {
            first_ = last_ = node;
            previous_ = nullptr;
        } else if (atEnd || !current_) {
            previous_ = last_;
            last_->next = node;
            last_ = node;
        } else {
            node->next = current_;
            if (current_ == first_)
                first_ = node;
            else
                previous_->next = node;
        }
        current_ = node;
        index_ = atEnd || count_ == 0 ? count_ : index_;
        ++count_;
        return node->item.get();
    }

    // Removes the cursor's node; the cursor moves to the following node, or the preceding one
    // when there is none. Returns the new count.
    int listRemoveCurrent() {
        if (!current_)
            return count_;
        Node *node = current_;
        Node *before = previous_;
        if (before)
            before->next = node->next;
        else
            first_ = node->next;
        if (node == last_)
            last_ = before;
        if (node->next) {
            current_ = node->next;
        } else {
            current_ = before;
            previous_ = findPrevious(before);
            if (index_ > 0)
                --index_;
        }
        delete node;
        --count_;
        return count_;
    }

    // Moves the cursor to the next node; false (cursor unchanged) when there is none.
    bool listNext() {
        if (!current_ || !current_->next)
            return false;
        previous_ = current_;
        current_ = current_->next;
        ++index_;
        return true;
    }

    // Puts the cursor on node k and returns its item; k beyond the end stops at the last node.
    T *listGoTo(int k) {
        if (!first_)
            return nullptr;
        current_ = first_;
        previous_ = nullptr;
        index_ = 0;
        while (index_ < k && listNext()) {
        }
        return current();
    }

    // Calls fn for each item from the first; stops at the first nonzero result, leaving the cursor there.
    int listForEach(const std::function<int(T &)> &fn) {
        index_ = 0;
        for (Node *node = first_, *before = nullptr; node; before = node, node = node->next) {
            current_ = node;
            previous_ = before;
            int result = fn(*node->item);
            if (result != 0)
                return result;
            ++index_;
        }
        index_ = count_ > 0 ? count_ - 1 : 0;
        return 0;
    }

    void listClear() {
        Node *node = first_;
        while (node) {
            Node *next = node->next;
            delete node;
            node = next;
        }
        first_ = previous_ = current_ = last_ = nullptr;
        count_ = index_ = 0;
    }

    // Read-only walk that leaves the cursor alone.
    template <class Fn> void forEachItem(Fn fn) const {
        for (Node *node = first_; node; node = node->next)
            fn(*node->item);
    }

private:
    Node *findPrevious(Node *node) const {
        if (!node || node == first_)
            return nullptr;
        Node *p = first_;
        while (p && p->next != node)
            p = p->next;
        return p;
    }

    Node *first_ = nullptr;
    Node *previous_ = nullptr;
    Node *current_ = nullptr;
    Node *last_ = nullptr;
    int count_ = 0;
    int index_ = 0;
};

// A growable array of item pointers. It does not own its items. In newest-first mode a new item
// goes to position 0 and, when the array is full, the oldest item falls off the end.
template <class T> class PointerArray {
public:
    void arrayInit(int capacity, int growBy, bool newestFirst = false) {
        items_.assign(static_cast<size_t>(capacity), nullptr);
        capacity_ = capacity;
        growBy_ = growBy < 1 ? 1 : growBy;
        newestFirst_ = newestFirst;
        count_ = 0;
        lastAdded_ = nullptr;
    }

    // Returns the item that fell off the end (newest-first mode, full array), or nullptr.
    T *arrayAdd(T *item) {
        T *dropped = nullptr;
        if (newestFirst_) {
            if (capacity_ == 0)
                return item;
            if (count_ == capacity_)
                dropped = items_[static_cast<size_t>(count_ - 1)];
            else
                ++count_;
            for (int i = count_ - 1; i > 0; --i)
                items_[static_cast<size_t>(i)] = items_[static_cast<size_t>(i - 1)];
            items_[0] = item;
        } else {
            if (count_ + 1 > capacity_) {
                capacity_ += growBy_;
                items_.resize(static_cast<size_t>(capacity_), nullptr);
            }
            items_[static_cast<size_t>(count_++)] = item;
        }
        lastAdded_ = item;
        return dropped;
    }

    void arrayResize(int capacity) {
        items_.assign(static_cast<size_t>(capacity), nullptr);
        capacity_ = capacity;
        count_ = 0;
    }

    void arrayRemoveAll() { count_ = 0; }

    int count() const { return count_; }
    int capacity() const { return capacity_; }
    T *at(int i) const { return items_[static_cast<size_t>(i)]; }
    T *lastAdded() const { return lastAdded_; }

private:
    std::vector<T *> items_;
    int capacity_ = 0;
    int growBy_ = 1;
    bool newestFirst_ = false;
    int count_ = 0;
    T *lastAdded_ = nullptr;
};

} // namespace quorv
