#include "shell/chapter_manager.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>

#include "foundation/debug_trace.h"
#include "foundation/system_settings.h"
#include "platform/clock.h"
#include "settings/ui_setting.h"
#include "shell/main_queue.h"
#include "shell/placeholder_chapter.h"

namespace {

ChapterManager* g_liveManager = nullptr;

int SystemInt(int index) {
    int value = 0;
    GetSystemSettingInt(index, &value);
    return value;
}

int SystemIntByKey(const char* key) {
    for (int i = 0; i < SYS_ITEM_COUNT + 1; ++i) {
        const char* name = GetSystemSettingKey(i);
        if (name && std::strcmp(name, key) == 0) return SystemInt(i);
    }
    return 0;
}

// ---- guards -----------------------------------------------------------------

template <int N>
int GuardOn(const ChapterManager& m, const ChapterEventContext&, BaseChapter*) {
    return m.IsChapterOnStack(N);
}
template <int N>
int GuardNotOn(const ChapterManager& m, const ChapterEventContext&, BaseChapter*) {
    return m.IsChapterOnStack(N) ? 0 : 1;
}
template <int N>
int GuardPrev(const ChapterManager& m, const ChapterEventContext&, BaseChapter*) {
    return m.IsPreviousChapter(N);
}
template <int N>
int GuardNotPrev(const ChapterManager& m, const ChapterEventContext&, BaseChapter*) {
    return m.IsPreviousChapter(N) ? 0 : 1;
}
int GuardB1(const ChapterManager&, const ChapterEventContext& c, BaseChapter*) { return c.B == 1 ? 1 : 0; }
int GuardNotB1(const ChapterManager&, const ChapterEventContext& c, BaseChapter*) { return c.B != 1 ? 1 : 0; }

// ---- after-callbacks --------------------------------------------------------

void SetMode(BaseChapter* chapter, int32_t mode) {
    if (chapter) chapter->SetEntryMode(mode);
}
void SetValue(BaseChapter* chapter, int32_t value) {
    if (chapter) chapter->SetEntryValue(value);
}

template <int N>
void AfterM(ChapterEventContext&, BaseChapter* ch) { SetMode(ch, N); }
void AfterMA(ChapterEventContext& c, BaseChapter* ch) { SetMode(ch, c.A); }
void AfterMB(ChapterEventContext& c, BaseChapter* ch) { SetMode(ch, c.B); }
void AfterMD(ChapterEventContext& c, BaseChapter* ch) { SetMode(ch, c.D); }
void AfterMAPlus1(ChapterEventContext& c, BaseChapter* ch) {
    if (c.A >= 0 && c.A <= 2) SetMode(ch, c.A + 1);
}
template <int N>
void AfterVAM(ChapterEventContext& c, BaseChapter* ch) {
    SetValue(ch, c.A);
    SetMode(ch, N);
}
void AfterVAMC(ChapterEventContext& c, BaseChapter* ch) {
    SetValue(ch, c.A);
    SetMode(ch, c.C);
}
void AfterC0VAM0(ChapterEventContext& c, BaseChapter* ch) {
    c.C = 0;
    SetValue(ch, c.A);
    SetMode(ch, 0);
}
void AfterA0(ChapterEventContext& c, BaseChapter*) { c.A = 0; }
void AfterA1M1(ChapterEventContext& c, BaseChapter* ch) {
    c.A = 1;
    SetMode(ch, 1);
}
void AfterA2M2(ChapterEventContext& c, BaseChapter* ch) {
    c.A = 2;
    SetMode(ch, 2);
}
void AfterB0(ChapterEventContext& c, BaseChapter*) { c.B = 0; }
void AfterB1(ChapterEventContext& c, BaseChapter*) { c.B = 1; }
void AfterB2(ChapterEventContext& c, BaseChapter*) { c.B = 2; }
template <int N>
void AfterC(ChapterEventContext& c, BaseChapter*) { c.C = N; }
void AfterM0D0(ChapterEventContext& c, BaseChapter* ch) {
    SetMode(ch, 0);
    c.D = 0;
}
void AfterM1D1(ChapterEventContext& c, BaseChapter* ch) {
    SetMode(ch, 1);
    c.D = 1;
}

struct NamedGuard {
    const char* name;
    ChapterGuard guard;
};
const NamedGuard kGuards[] = {
    {"demo", ChapterGuardDemo},     {"normal", ChapterGuardNormal}, {"hide", ChapterGuardHide},
    {"tpegA", ChapterGuardTpegA},   {"tpegB", ChapterGuardTpegB},   {"on6", GuardOn<6>},
    {"!on6", GuardNotOn<6>},        {"on21", GuardOn<21>},          {"!on21", GuardNotOn<21>},
    {"on30", GuardOn<30>},          {"!on30", GuardNotOn<30>},      {"on33", GuardOn<33>},
    {"!on33", GuardNotOn<33>},      {"prev19", GuardPrev<19>},      {"!prev19", GuardNotPrev<19>},
    {"prev31", GuardPrev<31>},      {"!prev31", GuardNotPrev<31>},  {"prev40", GuardPrev<40>},
    {"!prev40", GuardNotPrev<40>},  {"B1", GuardB1},                {"!B1", GuardNotB1},
};

struct NamedAfter {
    const char* name;
    ChapterAfter after;
};
// The program also has callbacks for modes 2, 5, 7, 8, 9, 11 and for B = 1
// that no row uses.
const NamedAfter kAfters[] = {
    {"m0", AfterM<0>},       {"m1", AfterM<1>},        {"m2", AfterM<2>},       {"m3", AfterM<3>},
    {"m4", AfterM<4>},       {"m5", AfterM<5>},        {"m6", AfterM<6>},       {"m7", AfterM<7>},
    {"m8", AfterM<8>},       {"m9", AfterM<9>},        {"m11", AfterM<11>},     {"mA", AfterMA},
    {"mB", AfterMB},         {"mD", AfterMD},          {"mA+1", AfterMAPlus1},  {"vA m0", AfterVAM<0>},
    {"vA m1", AfterVAM<1>},  {"vA m2", AfterVAM<2>},   {"vA mC", AfterVAMC},    {"C0 vA m0", AfterC0VAM0},
    {"A0", AfterA0},         {"A1 m1", AfterA1M1},     {"A2 m2", AfterA2M2},    {"B0", AfterB0},
    {"B1", AfterB1},         {"B2", AfterB2},          {"C0", AfterC<0>},       {"C1", AfterC<1>},
    {"C2", AfterC<2>},       {"m0 D0", AfterM0D0},     {"m1 D1", AfterM1D1},
};

bool ParseInt(const std::string& text, int32_t& out) {
    if (text.empty() || text.size() > 6) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    out = static_cast<int32_t>(std::atoi(text.c_str()));
    return true;
}

}  // namespace

// ---- guards of the first screen and the traffic screens ---------------------

int ChapterGuardDemo(const ChapterManager&, const ChapterEventContext&, BaseChapter*) {
    return SystemInt(SYS_HIDEMODE) == 0 && SystemInt(SYS_DEMO) != 0 ? 1 : 0;
}

int ChapterGuardNormal(const ChapterManager&, const ChapterEventContext&, BaseChapter*) {
    return SystemInt(SYS_HIDEMODE) == 0 && SystemInt(SYS_DEMO) == 0 ? 1 : 0;
}

int ChapterGuardHide(const ChapterManager&, const ChapterEventContext&, BaseChapter*) {
    return SystemInt(SYS_HIDEMODE) != 0 ? 1 : 0;
}

int ChapterGuardTpegA(const ChapterManager&, const ChapterEventContext&, BaseChapter*) {
    const int ytn = SystemIntByKey("TPEGYTN"), kbs = SystemIntByKey("TPEGKBS");
    const int mbc = SystemIntByKey("TPEGMBC"), sbs = SystemIntByKey("TPEGSBS");
    if (ytn == 0 && kbs == 0 && mbc == 0 && sbs == 0) return 1;
    if (ytn == 1 || sbs == 1) {
        const int32_t bs = CMgrConfigUISetting::Instance()->Record().eTPEGBS;
        return bs >= 0 && bs <= 2 ? 1 : 0;
    }
    return 0;
}

int ChapterGuardTpegB(const ChapterManager&, const ChapterEventContext&, BaseChapter*) {
    const int ytn = SystemIntByKey("TPEGYTN"), kbs = SystemIntByKey("TPEGKBS");
    const int mbc = SystemIntByKey("TPEGMBC"), sbs = SystemIntByKey("TPEGSBS");
    if ((ytn == 0 && kbs == 0 && mbc == 0 && sbs == 0) || mbc != 1) return 0;
    if (ytn == 0 && kbs == 0 && sbs == 0) return 1;
    return CMgrConfigUISetting::Instance()->Record().eTPEGBS == 4 ? 1 : 0;
}

// ---- rows -------------------------------------------------------------------

bool ParseChapterRow(int32_t fromId, const char* text, ChapterTransition& out) {
    if (!text) return false;
    std::string row(text);
    ChapterTransition t;
    t.fromId = fromId;
    // Split off the after-callback ("!name" not directly after '?') and the
    // guard ("?name" or "?!name").
    std::string guardName, afterName;
    const size_t q = row.find('?');
    size_t bang = std::string::npos;
    for (size_t i = 0; i < row.size(); ++i)
        if (row[i] == '!' && !(i > 0 && row[i - 1] == '?')) {
            bang = i;
            break;
        }
    if (bang != std::string::npos) {
        afterName = row.substr(bang + 1);
        row.resize(bang);
    }
    if (q != std::string::npos && q < row.size()) {
        guardName = row.substr(q + 1);
        row.resize(q);
    }
    if (!guardName.empty()) {
        for (const NamedGuard& g : kGuards)
            if (guardName == g.name) t.guard = g.guard;
        if (!t.guard) return false;
    }
    if (!afterName.empty()) {
        for (const NamedAfter& a : kAfters)
            if (afterName == a.name) t.after = a.after;
        if (!t.after) return false;
    }
    // The event: digits or "any".
    size_t at = 0;
    if (row.compare(0, 3, "any") == 0) {
        t.event = kChapterAnyEvent;
        at = 3;
    } else {
        while (at < row.size() && row[at] >= '0' && row[at] <= '9') ++at;
        if (!ParseInt(row.substr(0, at), t.event) || t.event == 0) return false;
    }
    const std::string action = row.substr(at);
    if (action == "=stay") {
        t.type = kRowReplace;
        t.toId = fromId;
    } else if (action == "<") {
        t.type = kRowBack;
    } else if (action.size() > 1 && action[0] == '=') {
        t.type = kRowReplace;
        if (!ParseInt(action.substr(1), t.toId)) return false;
    } else if (action.size() > 1 && action[0] == '+') {
        t.type = kRowPush;
        if (!ParseInt(action.substr(1), t.toId)) return false;
    } else if (action.compare(0, 2, "^^") == 0) {
        t.type = kRowPopAllPush;
        const std::string rest = action.substr(2);
        if (!rest.empty() && (rest[0] != '+' || !ParseInt(rest.substr(1), t.toId))) return false;
    } else if (action.size() > 1 && action[0] == '^') {
        size_t end = 1;
        while (end < action.size() && action[end] >= '0' && action[end] <= '9') ++end;
        if (!ParseInt(action.substr(1, end - 1), t.popUntilId)) return false;
        const std::string rest = action.substr(end);
        if (rest.empty()) {
            t.type = kRowPopUntilPush;
        } else if (rest[0] == '+') {
            t.type = kRowPopUntilPush;
            if (!ParseInt(rest.substr(1), t.toId)) return false;
        } else if (rest[0] == '=') {
            t.type = kRowPopUntilReplace;
            if (!ParseInt(rest.substr(1), t.toId)) return false;
        } else {
            return false;
        }
    } else {
        return false;
    }
    out = t;
    return true;
}

// ---- factory ----------------------------------------------------------------

ChapterFactory& ChapterFactory::Instance() {
    static ChapterFactory* factory = [] {
        auto* f = new ChapterFactory();
        f->AddTableIds(ChapterTransitionTable());
        return f;
    }();
    return *factory;
}

void ChapterFactory::Register(int32_t chapterId, Maker maker) {
    if (chapterId <= kChapterStartId || !maker) return;
    m_makers[chapterId] = Entry{std::move(maker), false};
}

void ChapterFactory::AddTableIds(const ChapterTransition* table) {
    if (!table) return;
    std::set<int32_t> ids;
    for (const ChapterTransition* row = table; row->fromId != 0; ++row) {
        ids.insert(row->fromId);
        if (row->toId != 0) ids.insert(row->toId);
        if (row->popUntilId != 0) ids.insert(row->popUntilId);
    }
    for (int32_t id : ids) {
        if (id <= kChapterStartId || m_makers.count(id)) continue;
        m_makers[id] = Entry{[](int32_t chapterId) -> std::unique_ptr<BaseChapter> {
                                 return std::make_unique<PlaceholderChapter>(chapterId);
                             },
                             true};
    }
}

bool ChapterFactory::Knows(int32_t chapterId) const { return m_makers.count(chapterId) != 0; }

std::unique_ptr<BaseChapter> ChapterFactory::Create(int32_t chapterId) const {
    auto it = m_makers.find(chapterId);
    if (it == m_makers.end()) return nullptr;
    try {
        return it->second.maker(chapterId);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::vector<int32_t> ChapterFactory::PlaceholderIds() const {
    std::vector<int32_t> ids;
    for (const auto& [id, entry] : m_makers)
        if (entry.placeholder) ids.push_back(id);
    return ids;
}

// ---- manager ----------------------------------------------------------------

ChapterManager::ChapterManager(const ChapterTransition* table, int32_t initialId, const ChapterFactory* factory)
    : m_table(table ? table : ChapterTransitionTable()),
      m_factory(factory ? factory : &ChapterFactory::Instance()),
      m_lastSwitchTick(platform::GetTickCount()) {
    m_current.id = initialId;
    g_liveManager = this;
}

ChapterManager::~ChapterManager() {
    PopAll();
    DeleteChapter(m_current);
    if (g_liveManager == this) g_liveManager = nullptr;
}

ChapterManager* ChapterManager::Current() { return g_liveManager; }

int ChapterManager::PostChapterEvent(int32_t event) {
    if (event == kChapterEventClearContext) {
        if (g_liveManager) g_liveManager->m_context = ChapterEventContext{};
        return 1;
    }
    MainMessage message;
    message.message = kWmChapterEvent;
    message.wParam = static_cast<uint64_t>(static_cast<uint32_t>(event));
    return MainQueue::Instance().Post(message) ? 1 : 0;
}

void ChapterManager::OnChapterEvent(int32_t event) {
    if (m_table) {
        for (const ChapterTransition* row = m_table; row->fromId != 0; ++row) {
            if (row->fromId != m_current.id) continue;
            if (row->event != kChapterAnyEvent && row->event != event) continue;
            if (row->guard && row->guard(*this, m_context, m_current.chapter.get()) == 0) continue;
            bool activate = true;
            if (CarryOut(*row, &activate)) {
                if (row->after) row->after(m_context, m_current.chapter.get());
            }
            if (activate) Activate(m_current);
            break;
        }
    }
    if (m_current.id != m_lastSeenId) {
        m_lastSeenId = m_current.id;
        m_lastSwitchTick = platform::GetTickCount();
    }
}

bool ChapterManager::CarryOut(const ChapterTransition& row, bool* activate) {
    const int32_t target = row.toId;
    switch (row.type) {
        case kRowReplace:
            if (target == m_current.id) {
                *activate = false;
                return true;
            }
            if (CreateChapter(target) != 1) {
                *activate = false;  // the screen it was on stays, still active
                return false;
            }
            return true;
        case kRowPush:
            if (m_depth >= kStackDepth) {
                DebugTrace(1, "[CHAPTER] stack full: %d -> %d refused\n", m_current.id, target);
                *activate = false;
                return false;
            }
            return PushAndCreate(target);
        case kRowBack:
            PopChapter();
            return true;
        case kRowPopUntilPush:
            PopUntil(row.popUntilId);
            if (target != 0 && target != m_current.id) return PushAndCreate(target);
            return true;
        case kRowPopUntilReplace:
            PopUntil(row.popUntilId);
            return CreateChapter(target) == 1;
        case kRowPopAllPush:
            PopAll();
            if (target != 0 && target != m_current.id) return PushAndCreate(target);
            return true;
        default:
            DebugTrace(1, "[CHAPTER] row %d/%d: unknown type %d\n", row.fromId, row.event, row.type);
            *activate = false;
            return false;
    }
}

bool ChapterManager::PushAndCreate(int32_t chapterId) {
    if (m_depth >= kStackDepth) {
        DebugTrace(1, "[CHAPTER] stack full: %d -> %d refused\n", m_current.id, chapterId);
        return false;
    }
    Deactivate(m_current);
    PushChapter();
    if (CreateChapter(chapterId) == 1) return true;
    // Nothing was made: the pushed chapter comes back as it was.
    --m_depth;
    m_current = std::move(m_stack[m_depth]);
    m_stack[m_depth] = Entry{};
    return false;
}

int32_t ChapterManager::DispatchInput(uint32_t message, uint64_t wParam, int64_t lParam) {
    if (!m_current.chapter) return 0;
    return m_current.chapter->OnMessage(message, wParam, lParam);
}

void ChapterManager::UpdateCurrent() {
    if (m_current.chapter) m_current.chapter->Update();
}

int ChapterManager::IsChapterOnStack(int32_t chapterId) const {
    for (int i = 0; i < m_depth; ++i)
        if (m_stack[i].id == chapterId) return 1;
    return 0;
}

int ChapterManager::IsPreviousChapter(int32_t chapterId) const {
    if (m_depth == 0) return m_current.id == chapterId ? 1 : 0;
    return m_stack[m_depth - 1].id == chapterId ? 1 : 0;
}

int32_t ChapterManager::StackIdAt(int index) const {
    return index >= 0 && index < m_depth ? m_stack[index].id : 0;
}

int ChapterManager::PushChapter() {
    if (m_depth >= kStackDepth) return 0;
    m_stack[m_depth++] = std::move(m_current);
    m_current = Entry{};
    return 1;
}

void ChapterManager::PopChapter() {
    // Also without a current object, so that popping always ends.
    if (m_depth == 0) return;
    DeleteChapter(m_current);
    --m_depth;
    m_current = std::move(m_stack[m_depth]);
    m_stack[m_depth] = Entry{};
}

void ChapterManager::PopUntil(int32_t chapterId) {
    PopChapter();
    while (m_depth > 0 && m_current.id != chapterId) PopChapter();
}

void ChapterManager::PopAll() {
    while (m_depth > 0) PopChapter();
}

int ChapterManager::CreateChapter(int32_t chapterId) {
    std::unique_ptr<BaseChapter> made = m_factory ? m_factory->Create(chapterId) : nullptr;
    if (!made) {
        DebugTrace(1, "[CHAPTER] chapter %d cannot be made; the screen stays\n", chapterId);
        return 0;
    }
    DeleteChapter(m_current);
    m_current.id = chapterId;
    m_current.chapter = std::move(made);
    m_current.active = false;
    return 1;
}

void ChapterManager::DeleteChapter(Entry& entry) {
    Deactivate(entry);
    entry.chapter.reset();
    entry.id = 0;
}

void ChapterManager::Deactivate(Entry& entry) {
    if (entry.chapter && entry.active) {
        entry.active = false;
        entry.chapter->DeActiveChapter();
    }
}

void ChapterManager::Activate(Entry& entry) {
    if (!entry.chapter) return;
    entry.active = true;
    entry.chapter->ActiveChapter();
}
