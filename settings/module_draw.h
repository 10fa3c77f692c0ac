#pragma once
// The drawing module's settings object: the objects the draw thread owns,
// the per-pane words and bytes, the draw state word and the route-changed
// word. Apart from releasing the owned objects and SetRouteChanged it is
// storage: the draw module (and the screens, by its rules) read and write
// the fields directly.
#include <atomic>
#include <cstdint>
#include <memory>

#include "foundation/singleton.h"

// An object of the draw thread held here and destroyed by its own
// destructor, whatever its type.
class DrawOwnedObject {
public:
    DrawOwnedObject() = default;
    template <class T>
    explicit DrawOwnedObject(std::unique_ptr<T> object)
        : m_object(object.release(), [](void* p) { delete static_cast<T*>(p); }) {}

    void* Get() const { return m_object.get(); }
    explicit operator bool() const { return m_object != nullptr; }
    void Reset() { m_object.reset(); }

private:
    std::unique_ptr<void, void (*)(void*)> m_object{nullptr, [](void*) {}};
};

class CMgrConfigModuleDraw : public MgrSingletonT<CMgrConfigModuleDraw> {
public:
    // Draw state values; the transitions are the draw module's. The draw
    // state is also this module's state word (1 up, 6 start-up failed).
    static constexpr int32_t kDrawThreadUp = 1;
    static constexpr int32_t kDrawRequested = 2;
    static constexpr int32_t kDrawing = 3;
    static constexpr int32_t kDrawIdle = 4;
    static constexpr int32_t kDrawError = 6;

    static constexpr int kPaneCount = 2;
    static constexpr int kOwnedObjectCount = 6;

    CMgrConfigModuleDraw();
    ~CMgrConfigModuleDraw() override;

    // Destroys every owned object (drawing objects and both style objects)
    // under the object's lock; the renderer calls it when it shuts down.
    void ReleaseDrawObjects();

    // Marks that a planned route was taken into guidance.
    void SetRouteChanged() { routeChanged.store(1, std::memory_order_release); }

    int32_t GetDrawState() const { return drawState.load(std::memory_order_acquire); }
    void SetDrawState(int32_t state) { drawState.store(state, std::memory_order_release); }

    // Owned by the draw thread; replaced and released under GetLock().
    DrawOwnedObject drawObjects[kOwnedObjectCount];
    // Six words per pane.
    int32_t paneWords[6][kPaneCount] = {{0, 0}, {0, 0}, {0, 0}, {-1, -1}, {0, 0}, {0, 0}};
    DrawOwnedObject styleObject;  // the map style in use
    int32_t styleWords[2] = {};
    DrawOwnedObject secondStyleObject;
    uint8_t styleArea[36] = {};   // rest of the second style's 40-byte area
    uint8_t area48[48] = {};
    std::atomic<int32_t> drawState{0};
    uint8_t area60[60] = {};
    uint8_t paneBytes[3][kPaneCount] = {{1, 1}, {0, 0}, {0, 0}};
    std::atomic<int32_t> routeChanged{0};
};
