#include "foundation/nv_array.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/nv_string.h"

namespace {

// An element that counts live objects, to see every copy destroyed.
struct Tracked {
    static inline int live = 0;
    int value = 0;
    explicit Tracked(int v) : value(v) { ++live; }
    Tracked(const Tracked& o) : value(o.value) { ++live; }
    virtual ~Tracked() { --live; }
};

struct Derived : Tracked {
    explicit Derived(int v, int* destroyed) : Tracked(v), m_destroyed(destroyed) {}
    ~Derived() override { ++*m_destroyed; }
    int* m_destroyed;
};

std::vector<int> Values(const NvArray<int>& a) {
    std::vector<int> v;
    for (int i = 0; i < a.GetCount(); ++i) v.push_back(*a.GetAt(i));
    return v;
}

NvArray<int> Filled(int capacity, std::initializer_list<int> values) {
    NvArray<int> a(capacity);
    for (int v : values) a.Add(v);
    return a;
}

TEST(NvArray, ConstructionAndCopiesOwned) {
    NvArray<int> none;
    EXPECT_EQ(none.GetCapacity(), 0);
    EXPECT_EQ(none.GetCount(), 0);
    EXPECT_EQ(none.GetAt(0), nullptr);

    int item = 5;
    NvArray<int> a(3);
    EXPECT_EQ(a.GetCapacity(), 3);
    EXPECT_EQ(a.Add(item), 0);
    item = 6;
    EXPECT_EQ(*a.GetAt(0), 5) << "the array holds its own copy";
    EXPECT_EQ(a.GetAt(1), nullptr);
    EXPECT_EQ(a.GetAt(-1), nullptr);
}

TEST(NvArray, SetAtGrowthAndLimits) {
    struct Case {
        const char* what;
        int capacity;
        std::initializer_list<int> before;
        int index;
        int result;
        int capacityAfter;
        std::vector<int> after;
    } const cases[] = {
        {"at capacity of a full array: grows by 10, appends", 3, {1, 2, 3}, 3, 3, 13, {1, 2, 3, 9}},
        {"capacity + 5 fails", 3, {1, 2, 3}, 8, -1, 3, {1, 2, 3}},
        {"capacity + 1 fails", 3, {1, 2, 3}, 4, -1, 3, {1, 2, 3}},
        {"at capacity of a part-filled array grows and appends", 3, {1}, 3, 1, 13, {1, 9}},
        {"past the count appends at the count", 5, {1}, 4, 1, 5, {1, 9}},
        {"below the count replaces", 5, {1, 2, 3}, 1, 1, 5, {1, 9, 3}},
        {"empty table, index 0 grows", 0, {}, 0, 0, 10, {9}},
        {"negative index fails", 5, {1}, -1, -1, 5, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NvArray<int> a = Filled(c.capacity, c.before);
        EXPECT_EQ(a.SetAt(c.index, 9), c.result);
        EXPECT_EQ(a.GetCapacity(), c.capacityAfter);
        EXPECT_EQ(Values(a), c.after);
    }
}

TEST(NvArray, InsertAtMovesLaterElementsUp) {
    struct Case {
        const char* what;
        int capacity;
        std::initializer_list<int> before;
        int index;
        int result;
        int capacityAfter;
        std::vector<int> after;
    } const cases[] = {
        {"front", 5, {1, 2, 3}, 0, 0, 5, {9, 1, 2, 3}},
        {"middle", 5, {1, 2, 3}, 2, 2, 5, {1, 2, 9, 3}},
        {"past the count appends", 5, {1, 2}, 4, 2, 5, {1, 2, 9}},
        {"full table grows by 10", 3, {1, 2, 3}, 1, 1, 13, {1, 9, 2, 3}},
        {"negative fails", 3, {1}, -2, -1, 3, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NvArray<int> a = Filled(c.capacity, c.before);
        EXPECT_EQ(a.InsertAt(c.index, 9), c.result);
        EXPECT_EQ(a.GetCapacity(), c.capacityAfter);
        EXPECT_EQ(Values(a), c.after);
    }
}

TEST(NvArray, ElementsNeverMoveWhenTheTableGrows) {
    NvArray<NvString> a(1);
    a.Add(NvString(u"first"));
    const NvString* first = a.GetAt(0);
    for (int i = 0; i < 45; ++i) a.Add(NvString(u"more"));
    EXPECT_EQ(a.GetCapacity(), 51);
    EXPECT_EQ(a.GetAt(0), first);
    a.InsertAt(0, NvString(u"zero"));
    EXPECT_EQ(a.GetAt(1), first);
    EXPECT_EQ(*a.GetAt(1), u"first");
}

TEST(NvArray, RemoveAtRemoveAllAndDestruction) {
    Tracked::live = 0;
    {
        NvArray<Tracked> a(2);
        for (int i = 0; i < 5; ++i) a.Add(Tracked(i));
        EXPECT_EQ(Tracked::live, 5);
        EXPECT_EQ(a.RemoveAt(1), 1);
        EXPECT_EQ(Tracked::live, 4);
        EXPECT_EQ(a.GetCount(), 4);
        EXPECT_EQ(a.GetAt(1)->value, 2);
        EXPECT_EQ(a.GetAt(4), nullptr);
        EXPECT_EQ(a.RemoveAt(4), 0);
        EXPECT_EQ(a.RemoveAt(-1), 0);

        a.SetAt(0, Tracked(40));  // replacing destroys the old element
        EXPECT_EQ(Tracked::live, 4);
        EXPECT_EQ(a.GetAt(0)->value, 40);

        a.SetAt(2, std::unique_ptr<Tracked>());  // an empty slot inside the count
        EXPECT_EQ(a.RemoveAt(2), 0) << "an empty slot is not removed";
        EXPECT_EQ(a.GetCount(), 4);

        const int capacity = a.GetCapacity();
        a.RemoveAll();
        EXPECT_EQ(Tracked::live, 0);
        EXPECT_EQ(a.GetCount(), 0);
        EXPECT_EQ(a.GetCapacity(), capacity);

        a.Add(Tracked(1));
        a.Add(Tracked(2));
    }
    EXPECT_EQ(Tracked::live, 0) << "the destructor frees every element";
}

TEST(NvArray, SetCapacityCutsAndKeeps) {
    Tracked::live = 0;
    NvArray<Tracked> a(5);
    for (int i = 0; i < 5; ++i) a.Add(Tracked(i));
    const Tracked* second = a.GetAt(1);
    EXPECT_EQ(a.SetCapacity(2), 1);
    EXPECT_EQ(a.GetCount(), 2);
    EXPECT_EQ(Tracked::live, 2);
    EXPECT_EQ(a.GetAt(1), second);
    EXPECT_EQ(a.SetCapacity(8), 1);
    EXPECT_EQ(a.GetCapacity(), 8);
    EXPECT_EQ(a.GetCount(), 2);
    EXPECT_EQ(a.GetAt(1), second);
    EXPECT_EQ(a.Add(Tracked(7)), 2);
    EXPECT_EQ(a.SetCapacity(-1), 0);
    EXPECT_EQ(a.GetCapacity(), 8);
    EXPECT_EQ(a.SetCapacity(0), 1);
    EXPECT_EQ(Tracked::live, 0);
    EXPECT_EQ(a.GetCount(), 0);
}

TEST(NvArray, OwnsHandedOverDerivedObjects) {
    int destroyed = 0;
    {
        NvArray<Tracked> a;
        EXPECT_EQ(a.Add(std::make_unique<Derived>(1, &destroyed)), 0);
        EXPECT_EQ(a.InsertAt(0, std::make_unique<Derived>(2, &destroyed)), 0);
        EXPECT_EQ(a.GetAt(1)->value, 1);
        a.RemoveAt(0);
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
}

// A plain record of the user-data stores, copied bytewise.
struct PlainRecord {
    char16_t name[8];
    int x, y;
};

TEST(NvArray, CopyMoveAndSort) {
    NvArray<PlainRecord> records(2);
    PlainRecord r{};
    std::memcpy(r.name, u"B", 4);
    r.x = 2;
    records.Add(r);
    std::memcpy(r.name, u"A", 4);
    r.x = 1;
    records.Add(r);
    r.x = 3;
    records.Add(r);  // a second "A"

    NvArray<PlainRecord> copy(records);
    EXPECT_EQ(copy.GetCapacity(), records.GetCapacity());
    EXPECT_NE(copy.GetAt(0), records.GetAt(0));
    copy.Sort([](const PlainRecord& a, const PlainRecord& b) { return a.name[0] < b.name[0]; });
    EXPECT_EQ(copy.GetAt(0)->x, 1);
    EXPECT_EQ(copy.GetAt(1)->x, 3) << "equal keys keep their order";
    EXPECT_EQ(copy.GetAt(2)->x, 2);
    EXPECT_EQ(records.GetAt(0)->x, 2) << "the source is untouched";

    NvArray<PlainRecord> moved(std::move(copy));
    EXPECT_EQ(moved.GetCount(), 3);
    EXPECT_EQ(copy.GetCount(), 0);  // NOLINT: moved-from state on purpose
    EXPECT_EQ(copy.GetCapacity(), 0);
    moved.Swap(0, 2);
    EXPECT_EQ(moved.GetAt(0)->x, 2);
}

}  // namespace
