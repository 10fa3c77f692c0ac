#pragma once
// The three sets of directed link ids that steer a route search: the detour
// set (links the driver asked to drive around), the avoidance set and the
// option set (the first part of a previous route, kept by option requests).
// The search marks their links in the link graph before it runs. Each set
// can keep a saved copy, so that a chosen alternative can be restored.
//
// The sets live in the planner's parameter store and are changed by the
// module between runs only; the module refuses changes while a run is in
// progress, so the sets need no lock of their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class RouteDetour {
public:
    // Arrays grow in steps of this many ids.
    static constexpr int kGrowStep = 1000;

    RouteDetour() = default;
    virtual ~RouteDetour() = default;
    RouteDetour(const RouteDetour&) = delete;
    RouteDetour& operator=(const RouteDetour&) = delete;

    // Empties the set (the array is released too).
    virtual void Reset();
    virtual void FreeAndReset();
    // The set becomes exactly these n ids; n <= 0 empties it.
    virtual void Replace(int n, const int32_t* ids);
    // Appends n ids; n <= 0 changes nothing (and says so on the trace).
    virtual void Append(int n, const int32_t* ids);
    // The ids in use and their number.
    virtual int Get(const int32_t** ids) const;
    // Empties the set; 1.
    int Clear();

    // Copies the set into its saved copy (an empty set leaves an empty
    // copy); with freeAfter the set is emptied afterwards.
    void Save(bool freeAfter);
    // Brings the saved copy back: 1, or 0 (the set left empty) when there
    // is none.
    int Restore();
    void DropSaved();

    bool HasLinks() const { return m_hasLinks != 0; }
    int Count() const { return m_count; }
    int AppendCount() const { return m_appendCount; }
    int Capacity() const { return m_capacity; }
    bool HasSaved() const { return m_saved.flag != 0; }

protected:
    // What a saved copy holds; the subclasses keep their extra values in it.
    struct Saved {
        int32_t flag = 0;
        int32_t count = 0;
        int32_t appendCount = 0;
        int32_t groupCount = 0;
        int32_t groupEnds[5] = {};
        int32_t effectiveCount = 0;
        std::unique_ptr<int32_t[]> ids;   // count ids
    };
    virtual void SaveExtra(Saved&) const {}
    virtual void RestoreExtra(const Saved&) {}

    void ResetBase();
    // Makes room for total ids, keeping the ones held.
    void Reserve(int total);

    int32_t m_hasLinks = 0;
    int32_t m_count = 0;
    int32_t m_appendCount = 0;
    int32_t m_capacity = 0;
    std::unique_ptr<int32_t[]> m_ids;
    Saved m_saved;
};

class RouteAvoidance : public RouteDetour {
protected:
    // The avoidance set also keeps how many appends made it.
    void SaveExtra(Saved& s) const override { s.appendCount = m_appendCount; }
    void RestoreExtra(const Saved& s) override { m_appendCount = s.appendCount; }
};

// The option set: its ids come in up to four groups (one per option run),
// and only the ids up to the effective count take part in a search.
class RoutePeloxWizard : public RouteDetour {
public:
    static constexpr int kMaxGroups = 4;

    void Reset() override;
    void FreeAndReset() override;
    void Replace(int n, const int32_t* ids) override;
    void Append(int n, const int32_t* ids) override;
    int Get(const int32_t** ids) const override;

    // Ends a group at the current count; 1, or 0 when four groups exist.
    int MarkGroupEnd();
    // Keeps groups 1..g only (g = 0 keeps none); 1, or 0 when g is not a
    // group of the set.
    int KeepGroup(int g);

    int GroupCount() const { return m_groupCount; }
    int GroupEnd(int g) const { return g >= 0 && g <= kMaxGroups ? m_groupEnds[g] : 0; }
    int EffectiveCount() const { return m_effectiveCount; }

protected:
    void SaveExtra(Saved& s) const override;
    void RestoreExtra(const Saved& s) override;

private:
    int32_t m_groupCount = 0;
    int32_t m_effectiveCount = 0;
    int32_t m_groupEnds[kMaxGroups + 1] = {};   // [0] is always 0
};

// What the option-link pick needs of one link of a route.
struct RouteLinkFacts {
    uint32_t lengthM = 0;
    int roadClass = 0;   // 0..15
    int linkType = 0;
};
// Looks a directed link up in the road data; false when it cannot be read.
using RouteLinkLookup = std::function<bool(int32_t linkId, RouteLinkFacts* facts)>;

// The share of a route's length that an option run keeps: 0.9 of the first
// 10 km, 0.75 of the next 10, 0.45 up to 50 km and 0.25 beyond (computed in
// single precision, truncated).
int32_t OptionLinkThresholdM(int64_t totalM);

// The option links of a route: the leading links up to the threshold's
// length, starting at the first link of a class that, with the classes
// above it, covers the threshold; a ramp or junction link (types 3 and 5)
// met with less than 4 km left ends the pick. Links the lookup cannot read
// count as class 15, 0 m.
std::vector<int32_t> PickOptionLinks(const int32_t* routeLinks, int count, const RouteLinkLookup& lookup);
