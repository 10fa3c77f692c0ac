#pragma once
// The chapter manager: the current chapter, a stack of up to 16 suspended
// chapters, and the transition table that alone decides which chapter an
// event leads to. Screens never make or delete each other: they post
// chapter events (PostChapterEvent puts them on the main queue) and the main
// loop hands each to OnChapterEvent. Main thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "shell/chapter_base.h"

// The four words handed to every guard and after-callback.
struct ChapterEventContext {
    int32_t A = 0;
    int32_t B = 0;
    int32_t C = 0;
    int32_t D = 0;
};

class ChapterManager;

// A guard: 0 means the row does not apply.
using ChapterGuard = int (*)(const ChapterManager& manager, const ChapterEventContext& context, BaseChapter* current);
// An after-callback: sets context words and the new chapter's entry mode
// and value (chapter may be null).
using ChapterAfter = void (*)(ChapterEventContext& context, BaseChapter* chapter);

// Row types.
enum ChapterRowType : int32_t {
    kRowReplace = 0,          // =T
    kRowPush = 1,             // +T
    kRowBack = 2,             // <
    kRowPopUntilPush = 3,     // ^P+T (^P: T is 0)
    kRowPopUntilReplace = 4,  // ^P=T
    kRowPopAllPush = 5,       // ^^+T (^^: T is 0)
};

inline constexpr int32_t kChapterAnyEvent = 0;
inline constexpr int32_t kChapterStartId = 1;
// Clears the context words at once instead of being posted.
inline constexpr int32_t kChapterEventClearContext = 1027;

// One row of the table; the table ends with a row whose from id is 0.
struct ChapterTransition {
    int32_t fromId = 0;
    int32_t toId = 0;  // 0: none
    int32_t event = 0; // 0: any event
    int32_t type = kRowReplace;
    int32_t popUntilId = 0;
    ChapterGuard guard = nullptr;
    ChapterAfter after = nullptr;
};

// The program's transition table (shell/chapter_table.cpp), ended by a
// zero row. Read once; null when its text does not parse (a fault of the
// build, traced).
const ChapterTransition* ChapterTransitionTable();
// Rows without the end row.
int ChapterTransitionRowCount();
// A row of the design's notation ("94^^+95?!on33!mA") for a chapter into a
// transition; false for text that is not a row.
bool ParseChapterRow(int32_t fromId, const char* text, ChapterTransition& out);

// Makes chapters by id. Every id the transition table names is known; an id
// whose screen is not registered yet gets a placeholder screen. Screens
// register one maker per chapter id.
class ChapterFactory {
public:
    using Maker = std::function<std::unique_ptr<BaseChapter>(int32_t chapterId)>;

    // The program's factory: knows the table's ids.
    static ChapterFactory& Instance();
    // An empty factory (tests): knows nothing until told.
    ChapterFactory() = default;

    // Replaces the maker of one chapter id (and makes the id known).
    void Register(int32_t chapterId, Maker maker);
    // Makes every id of the table known with the placeholder (ids already
    // registered keep their maker).
    void AddTableIds(const ChapterTransition* table);
    bool Knows(int32_t chapterId) const;
    // The new chapter, or null for an unknown id or a maker that failed.
    std::unique_ptr<BaseChapter> Create(int32_t chapterId) const;
    // Ids whose maker is still the placeholder.
    std::vector<int32_t> PlaceholderIds() const;

private:
    struct Entry {
        Maker maker;
        bool placeholder = false;
    };
    std::map<int32_t, Entry> m_makers;
};

class ChapterManager {
public:
    static constexpr int kStackDepth = 16;

    // table null: the program's table; factory null: the program's factory.
    ChapterManager(const ChapterTransition* table, int32_t initialId, const ChapterFactory* factory = nullptr);
    ~ChapterManager();
    ChapterManager(const ChapterManager&) = delete;
    ChapterManager& operator=(const ChapterManager&) = delete;

    // The live manager (the last one made and not yet deleted), or null.
    static ChapterManager* Current();

    // Any thread: posts the event to the main queue (1, or 0 when the queue
    // refused it). Event 1027 is not posted: it clears the live manager's
    // context words at once.
    static int PostChapterEvent(int32_t event);
    // The transition for one event (main loop only).
    void OnChapterEvent(int32_t event);
    // A window message for the current chapter; 0 without one.
    int32_t DispatchInput(uint32_t message, uint64_t wParam, int64_t lParam);
    // The current chapter's update, when there is one.
    void UpdateCurrent();

    int32_t GetCurrentChapterId() const { return m_current.id; }
    BaseChapter* GetCurrentChapter() const { return m_current.chapter.get(); }
    uint32_t GetLastSwitchTick() const { return m_lastSwitchTick; }
    int IsChapterOnStack(int32_t chapterId) const;
    // The top stacked entry's id equals chapterId; with an empty stack the
    // current id is compared.
    int IsPreviousChapter(int32_t chapterId) const;
    int StackDepth() const { return m_depth; }
    // Id of stacked entry i (0 the bottom), 0 out of range.
    int32_t StackIdAt(int index) const;
    ChapterEventContext& Context() { return m_context; }
    const ChapterEventContext& Context() const { return m_context; }

    // The stack operations (public for the shell's own use and tests).
    // 1 when the current entry went onto the stack; 0 with 16 stacked.
    int PushChapter();
    void PopChapter();
    void PopUntil(int32_t chapterId);
    void PopAll();
    // 1 when the chapter was made and became current; 0 when it could not be
    // made (the current chapter stays, with a trace).
    int CreateChapter(int32_t chapterId);

private:
    struct Entry {
        int32_t id = 0;
        std::unique_ptr<BaseChapter> chapter;
        bool active = false;  // between ActiveChapter and DeActiveChapter
    };
    // Deactivates (when active) and deletes; the entry becomes (0, none).
    void DeleteChapter(Entry& entry);
    void Deactivate(Entry& entry);
    void Activate(Entry& entry);
    // Carries out one row; false when it was refused and nothing changed
    // that needs an activation.
    bool CarryOut(const ChapterTransition& row, bool* activate);
    // A push of the (possibly still active) current chapter and a new one
    // on top; on failure the stack is as before and the current chapter is
    // back.
    bool PushAndCreate(int32_t chapterId);

    const ChapterTransition* m_table;
    const ChapterFactory* m_factory;
    Entry m_current;
    Entry m_stack[kStackDepth];
    int m_depth = 0;
    uint32_t m_lastSwitchTick = 0;
    int32_t m_lastSeenId = -1;
    ChapterEventContext m_context;
};

// The guards' system settings: HIDEMODE and DEMO decide the first screen
// ("non-zero" means on for both), the broadcaster switches the traffic
// screens. Exposed for tests.
int ChapterGuardDemo(const ChapterManager&, const ChapterEventContext&, BaseChapter*);
int ChapterGuardNormal(const ChapterManager&, const ChapterEventContext&, BaseChapter*);
int ChapterGuardHide(const ChapterManager&, const ChapterEventContext&, BaseChapter*);
int ChapterGuardTpegA(const ChapterManager&, const ChapterEventContext&, BaseChapter*);
int ChapterGuardTpegB(const ChapterManager&, const ChapterEventContext&, BaseChapter*);
