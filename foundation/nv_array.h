#pragma once
// NvArray<T>: the owning pointer array behind every list of user records.
//
// A table of capacity slots; the first count slots hold the elements, every
// one a separate heap object owned by the array (a copy made with T's copy
// constructor, or an object handed over as unique_ptr, which also lets the
// array own objects of classes derived from T). Elements never move in
// memory: growing or shrinking the table moves only the pointers. The table
// grows by 10 slots at a time.
//
// Results follow the program's convention: an index, or -1 when the table
// cannot take the element; 1 or 0. A failed allocation is reported like a
// full table; only copying a whole array throws std::bad_alloc, as any
// container's copy does.
#include <algorithm>
#include <climits>
#include <concepts>
#include <memory>
#include <new>
#include <utility>
#include <vector>

template <typename T>
class NvArray {
public:
    static constexpr int kGrowSlots = 10;

    // A table of that many empty slots (none for 0), count 0.
    explicit NvArray(int capacity = 0) { SetCapacity(capacity); }
    virtual ~NvArray() = default;

    // Deep copies: each element copied, the capacity kept.
    NvArray(const NvArray& other)
        requires std::copy_constructible<T>
    {
        CopyFrom(other);
    }
    NvArray& operator=(const NvArray& other)
        requires std::copy_constructible<T>
    {
        if (this != &other) {
            NvArray copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    NvArray(NvArray&& other) noexcept : m_table(std::move(other.m_table)), m_count(other.m_count) {
        other.m_table.clear();
        other.m_count = 0;
    }
    NvArray& operator=(NvArray&& other) noexcept {
        if (this != &other) {
            m_table = std::move(other.m_table);
            m_count = other.m_count;
            other.m_table.clear();
            other.m_count = 0;
        }
        return *this;
    }

    int GetCount() const { return m_count; }
    int GetCapacity() const { return static_cast<int>(m_table.size()); }
    // The element at index; null for an index outside the count or an
    // empty slot.
    T* GetAt(int index) const {
        return (index >= 0 && index < m_count) ? m_table[static_cast<size_t>(index)].get() : nullptr;
    }

    int Add(const T& item) { return SetAt(m_count, item); }
    int Add(std::unique_ptr<T> item) { return SetAt(m_count, std::move(item)); }

    // When index equals the capacity the table first grows by 10; an index
    // still at or past the capacity fails with -1. An index at or past the
    // count appends; one below it replaces (the old element is destroyed).
    // Returns the index used.
    int SetAt(int index, const T& item) {
        std::unique_ptr<T> copy = MakeCopy(item);
        return copy ? SetAt(index, std::move(copy)) : -1;
    }
    int SetAt(int index, std::unique_ptr<T> item) {
        if (index < 0) return -1;
        if (index == GetCapacity() && !Grow()) return -1;
        if (index >= GetCapacity()) return -1;
        if (index >= m_count) index = m_count++;
        m_table[static_cast<size_t>(index)] = std::move(item);
        return index;
    }

    // When the table is full it first grows by 10 (-1 if it cannot). An
    // index at or past the count appends; otherwise later elements move up
    // one slot. Returns the index used.
    int InsertAt(int index, const T& item) {
        std::unique_ptr<T> copy = MakeCopy(item);
        return copy ? InsertAt(index, std::move(copy)) : -1;
    }
    int InsertAt(int index, std::unique_ptr<T> item) {
        if (index < 0) return -1;
        if (m_count >= GetCapacity() && !Grow()) return -1;
        if (m_count >= GetCapacity()) return -1;
        if (index >= m_count) index = m_count;
        std::move_backward(m_table.begin() + index, m_table.begin() + m_count, m_table.begin() + m_count + 1);
        m_table[static_cast<size_t>(index)] = std::move(item);
        ++m_count;
        return index;
    }

    // Destroys the element and closes the gap: 1; 0 for an index outside
    // the count or an empty slot.
    int RemoveAt(int index) {
        if (index < 0 || index >= m_count || !m_table[static_cast<size_t>(index)]) return 0;
        m_table[static_cast<size_t>(index)].reset();
        std::move(m_table.begin() + index + 1, m_table.begin() + m_count, m_table.begin() + index);
        --m_count;
        return 1;
    }

    // Destroys every element; the capacity stays.
    void RemoveAll() {
        for (auto& slot : m_table) slot.reset();
        m_count = 0;
    }

    // Elements at n and beyond are destroyed; the first ones keep their
    // place, new slots are empty. 1, or 0 (unchanged) when n is negative or
    // the table cannot be allocated.
    int SetCapacity(int n) {
        if (n < 0) return 0;
        if (n == GetCapacity()) return 1;
        try {
            m_table.resize(static_cast<size_t>(n));
            m_table.shrink_to_fit();
        } catch (const std::bad_alloc&) {
            return 0;
        }
        m_count = std::min(m_count, n);
        return 1;
    }

    // Exchanges two elements' places (only the pointers move).
    void Swap(int a, int b) {
        if (a >= 0 && b >= 0 && a < m_count && b < m_count) {
            std::swap(m_table[static_cast<size_t>(a)], m_table[static_cast<size_t>(b)]);
        }
    }

    // Orders the elements by less(const T&, const T&), keeping equal ones in
    // their order. Empty slots go last.
    template <typename Less>
    void Sort(Less less) {
        std::stable_sort(m_table.begin(), m_table.begin() + m_count,
                         [&](const std::unique_ptr<T>& a, const std::unique_ptr<T>& b) {
                             if (!a || !b) return a && !b;
                             return less(*a, *b);
                         });
    }

private:
    static std::unique_ptr<T> MakeCopy(const T& item) {
        try {
            return std::make_unique<T>(item);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

    bool Grow() {
        if (GetCapacity() > INT_MAX - kGrowSlots) return false;
        try {
            m_table.resize(m_table.size() + kGrowSlots);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    void CopyFrom(const NvArray& other) {
        m_table.resize(other.m_table.size());
        for (int i = 0; i < other.m_count; ++i) {
            const auto& slot = other.m_table[static_cast<size_t>(i)];
            if (slot) m_table[static_cast<size_t>(i)] = std::make_unique<T>(*slot);
        }
        m_count = other.m_count;
    }

    // One slot per unit of capacity; slots at and past m_count are empty.
    std::vector<std::unique_ptr<T>> m_table;
    int m_count = 0;
};
