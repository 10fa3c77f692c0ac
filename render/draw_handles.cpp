#include "render/draw_handles.h"

#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "render/aa_context.h"
#include "render/vector_font.h"

namespace {

// A slot of the handle table. Context slot words: tag, own default font
// handle, selected font handle. Font slot words: first tag, second tag.
struct Slot {
    uint32_t words[3] = {};
    std::unique_ptr<CMneDC> context;
    std::unique_ptr<CMneVectorFont> font;
    uint16_t generation = 0;
    bool used = false;
};

// Handle = generation << 16 | (slot index + 1): never 0, and a handle of a
// freed slot stops matching once the slot is reused.
constexpr uint32_t kMaxSlots = 0xFFFF;

std::mutex g_tableMutex;
std::vector<std::unique_ptr<Slot>> g_slots;  // stable addresses
int g_liveSlots = 0;

Slot* Lookup(MneHandle handle) {
    if (handle == 0) return nullptr;
    const uint32_t index = (handle & 0xFFFF) - 1;
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (index >= g_slots.size()) return nullptr;
    Slot* slot = g_slots[index].get();
    return slot->used && slot->generation == (handle >> 16) ? slot : nullptr;
}

MneHandle Allocate() {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    size_t index = 0;
    while (index < g_slots.size() && g_slots[index]->used) ++index;
    if (index == g_slots.size()) {
        if (index >= kMaxSlots) return 0;
        g_slots.push_back(std::make_unique<Slot>());
    }
    Slot& slot = *g_slots[index];
    slot.used = true;
    slot.generation = static_cast<uint16_t>(slot.generation == 0xFFFF ? 1 : slot.generation + 1);
    ++g_liveSlots;
    return (uint32_t{slot.generation} << 16) | static_cast<uint32_t>(index + 1);
}

void Free(MneHandle handle) {
    Slot* slot = Lookup(handle);
    if (!slot) return;
    std::unique_ptr<CMneDC> context;
    std::unique_ptr<CMneVectorFont> font;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        context = std::move(slot->context);
        font = std::move(slot->font);
        slot->words[0] = slot->words[1] = slot->words[2] = 0;
        slot->used = false;
        --g_liveSlots;
    }
    // The objects go after the table lock is left (a font may close its file).
}

bool IsContext(const Slot* slot) { return slot && slot->words[0] == kMneDcTag && slot->context; }
bool IsFont(const Slot* slot) { return slot && slot->words[0] == kMneFontTag1 && slot->words[1] == kMneFontTag2; }

CMneDC* ContextOf(MneHandle dc) {
    Slot* slot = Lookup(dc);
    return slot ? slot->context.get() : nullptr;
}

}  // namespace

MneHandle MneCreateDC(void* pixels, int32_t width, int32_t height) {
    if (!pixels || width <= 0 || height <= 0) return 0;
    const MneHandle defaultFont = Allocate();
    const MneHandle dc = defaultFont ? Allocate() : 0;
    auto context = std::unique_ptr<CMneDC>(new (std::nothrow) CMneDC);
    if (!defaultFont || !dc || !context || !context->Attach(pixels, width, height, 16, 0)) {
        Free(dc);
        Free(defaultFont);
        return 0;
    }
    context->SelectFont(nullptr);
    Slot* fontSlot = Lookup(defaultFont);
    fontSlot->words[0] = kMneFontTag1;
    fontSlot->words[1] = kMneFontTag2;
    Slot* slot = Lookup(dc);
    slot->words[0] = kMneDcTag;
    slot->words[1] = defaultFont;
    slot->words[2] = defaultFont;
    slot->context = std::move(context);
    return dc;
}

int MneDeleteDC(MneHandle dc) {
    Slot* slot = Lookup(dc);
    if (!IsContext(slot)) return 0;
    const MneHandle defaultFont = slot->words[1];
    Free(dc);
    Free(defaultFont);
    return 1;
}

MneHandle MneCreateFont(int32_t height, int32_t width, const char* faceName, int32_t kind) {
    if (height <= 0 || width <= 0 || !faceName) return 0;
    auto font = std::make_unique<CMneVectorFont>();
    // Screens draw many different strings once: no string images.
    if (!font->Create(height, width, faceName, 0, kind == kFontKindBitmap ? kFontKindBitmap : kFontKindVector)) {
        return 0;
    }
    const MneHandle handle = Allocate();
    if (!handle) return 0;
    Slot* slot = Lookup(handle);
    slot->words[0] = kMneFontTag1;
    slot->words[1] = kMneFontTag2;
    slot->font = std::move(font);
    return handle;
}

int MneDeleteFont(MneHandle font) {
    Slot* slot = Lookup(font);
    if (!IsFont(slot)) return 0;
    // A context still holding this font falls back to its own default font
    // rather than keep a pointer to a deleted one.
    if (slot->font) {
        std::vector<Slot*> contexts;
        {
            std::lock_guard<std::mutex> lock(g_tableMutex);
            for (const auto& s : g_slots) {
                if (s->used && s->words[0] == kMneDcTag && s->words[2] == font) contexts.push_back(s.get());
            }
        }
        for (Slot* c : contexts) {
            c->words[2] = c->words[1];
            if (c->context) c->context->SelectFont(nullptr);
        }
    }
    Free(font);
    return 1;
}

MneHandle MneSelectFont(MneHandle dc, MneHandle font) {
    Slot* slot = Lookup(dc);
    Slot* fontSlot = Lookup(font);
    if (!IsContext(slot) || !IsFont(fontSlot)) return 0;
    const MneHandle previous = slot->words[2];
    slot->words[2] = font;
    slot->context->SelectFont(fontSlot->font.get());
    return previous;
}

uint32_t MneSetTextColor(MneHandle dc, uint32_t colour) {
    CMneDC* c = ContextOf(dc);
    return c ? c->SetTextColor(colour) : 0;
}

uint32_t MneGetTextColor(MneHandle dc) {
    CMneDC* c = ContextOf(dc);
    return c ? c->GetTextColor() : 0;
}

uint32_t MneSetBkColor(MneHandle dc, uint32_t colour) {
    CMneDC* c = ContextOf(dc);
    return c ? c->SetBkColor(colour) : 0;
}

uint32_t MneGetBkColor(MneHandle dc) {
    CMneDC* c = ContextOf(dc);
    return c ? c->GetBkColor() : 0;
}

int32_t MneSetBkMode(MneHandle dc, int32_t mode) {
    CMneDC* c = ContextOf(dc);
    return c ? c->SetBkMode(mode) : 0;
}

int32_t MneGetBkMode(MneHandle dc) {
    CMneDC* c = ContextOf(dc);
    return c ? c->GetBkMode() : 0;
}

int MneDrawText(MneHandle dc, const char* text, int32_t length, const MneTextRect* rect, uint32_t flags) {
    Slot* slot = Lookup(dc);
    if (!text || !rect || !IsContext(slot)) return 0;
    const MneRect box{rect->left, rect->top, rect->right, rect->bottom};
    return slot->context->DrawText(text, length, &box, flags);
}

int MneGetTextExtent(MneHandle dc, const char* text, int32_t length, MneSize* size) {
    Slot* slot = Lookup(dc);
    if (!text || !size || !IsContext(slot)) return 0;
    return slot->context->GetTextExtent(text, length, size);
}

int MneHandleCount() {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    return g_liveSlots;
}
