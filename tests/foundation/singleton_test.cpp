#include "foundation/singleton.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_constructed{0};

class RacedObject : public MgrSingletonT<RacedObject> {
public:
    RacedObject() { g_constructed.fetch_add(1); }
};

int CountRegistered(CMgrSingletonBase* object) {
    CMgrSingletonObserver* registry = CMgrSingletonObserver::Instance();
    int hits = 0;
    for (int i = 0; i < registry->GetCount(); ++i) hits += registry->GetAt(i) == object ? 1 : 0;
    return hits;
}

TEST(Singleton, RacingThreadsCreateAndRegisterOneObject) {
    std::atomic<bool> go{false};
    std::vector<RacedObject*> seen(16, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < 16; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            seen[i] = RacedObject::Instance();
        });
    }
    go.store(true);
    for (auto& t : threads) t.join();
    ASSERT_NE(seen[0], nullptr);
    for (RacedObject* p : seen) EXPECT_EQ(p, seen[0]);
    EXPECT_EQ(g_constructed.load(), 1);
    EXPECT_EQ(CountRegistered(static_cast<MgrSingletonT<RacedObject>*>(seen[0])), 1);
}

// Many singleton types created at once on many threads: every one is
// recorded exactly once, and the registry grows past 256 slots in order.
template <int N>
class Many : public MgrSingletonT<Many<N>> {};

template <int... N>
void CreateAll(std::integer_sequence<int, N...>, std::vector<CMgrSingletonBase*>& out) {
    (out.push_back(static_cast<MgrSingletonT<Many<N>>*>(Many<N>::Instance())), ...);
}

TEST(Singleton, RegistryGrowsAndKeepsOrder) {
    CMgrSingletonObserver* registry = CMgrSingletonObserver::Instance();
    const int before = registry->GetCount();
    std::vector<CMgrSingletonBase*> created;
    CreateAll(std::make_integer_sequence<int, 300>{}, created);
    ASSERT_EQ(registry->GetCount(), before + 300);
    EXPECT_GE(registry->GetCapacity(), 512);
    for (int i = 0; i < 300; ++i) EXPECT_EQ(registry->GetAt(before + i), created[i]) << i;
}

TEST(Singleton, NullIsNotRegistered) {
    const int before = CMgrSingletonObserver::Instance()->GetCount();
    EXPECT_EQ(RegisterSingleton(nullptr), 0);
    EXPECT_EQ(CMgrSingletonObserver::Instance()->GetCount(), before);
}

TEST(Singleton, GetLockIsTheObjectsOwnLock) {
    RacedObject* object = RacedObject::Instance();
    CMgrCriticalSection* lock = object->GetLock();
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(lock, object->GetLock());
    RacedObject* out = nullptr;
    EXPECT_EQ(object->GetInstance(&out), object);
    EXPECT_EQ(out, object);
}

TEST(CriticalSection, IsReentrant) {
    CMgrCriticalSection cs;
    EXPECT_EQ(cs.Enter(), 1);
    EXPECT_EQ(cs.Enter(), 1);   // same thread again: no deadlock
    std::atomic<int> other{-1};
    std::thread([&] { other = cs.TryEnter(); }).join();
    EXPECT_EQ(other.load(), 0);
    EXPECT_EQ(cs.Leave(), 1);
    EXPECT_EQ(cs.Leave(), 1);

}

}  // namespace
