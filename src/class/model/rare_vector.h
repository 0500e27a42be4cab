// A list that most of the class's results never hold: one pointer, null
// while it is empty, where a std::vector costs three words in each of a
// large class's hundreds of thousands of results and causes.
#ifndef LABELGRADE_RARE_VECTOR_H
#define LABELGRADE_RARE_VECTOR_H

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

template <typename T>
class RareVector {
public:
    RareVector() = default;
    RareVector(std::initializer_list<T> items) { assign(std::vector<T>(items)); }
    RareVector(const RareVector& other) { assign(other.held_ ? *other.held_ : std::vector<T>{}); }
    RareVector(RareVector&&) noexcept = default;
    RareVector& operator=(const RareVector& other)
    {
        if (this != &other)
            assign(other.held_ ? *other.held_ : std::vector<T>{});
        return *this;
    }
    RareVector& operator=(RareVector&&) noexcept = default;
    RareVector& operator=(std::initializer_list<T> items)
    {
        assign(std::vector<T>(items));
        return *this;
    }

    bool empty() const { return !held_; }
    std::size_t size() const { return held_ ? held_->size() : 0; }
    const T& operator[](std::size_t at) const { return (*held_)[at]; }
    const T& front() const { return held_->front(); }
    const T& back() const { return held_->back(); }
    const T* begin() const { return held_ ? held_->data() : nullptr; }
    const T* end() const { return held_ ? held_->data() + held_->size() : nullptr; }

    friend bool operator==(const RareVector& a, const RareVector& b)
    {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

    void push_back(T item)
    {
        if (!held_)
            held_ = std::make_unique<std::vector<T>>();
        held_->push_back(std::move(item));
    }

private:
    void assign(std::vector<T> items)
    {
        held_ = items.empty() ? nullptr : std::make_unique<std::vector<T>>(std::move(items));
    }

    std::unique_ptr<std::vector<T>> held_;
};

#endif
