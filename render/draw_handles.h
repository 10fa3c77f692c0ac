#pragma once
// The drawing handle interface: screens and the user-interface renderer draw
// text into their own 16-bit pixel buffers through opaque handles, in the
// manner of a device-context interface.
//
//   MneHandle dc = MneCreateDC(pixels, 320, 240);           // RGB565, bottom-up
//   MneHandle font = MneCreateFont(20, 400, "FONT1", 0);     // kind 1: bitmap font
//   MneHandle old = MneSelectFont(dc, font);
//   uint32_t oldColour = MneSetTextColor(dc, 0x0000FF);       // 0x00BBGGRR
//   MneRect rect{0, 0, 320, 24};
//   MneDrawText(dc, text, length, &rect, 0x925);
//   MneSelectFont(dc, old); MneSetTextColor(dc, oldColour);
//   MneDeleteFont(font); MneDeleteDC(dc);
//
// Handles are 32-bit values naming slots of a process-wide table (never
// addresses); a slot carries the tag words each call checks, and a handle
// whose slot has been freed or reused no longer names anything. Handles are
// not locked: a context and its fonts are used by one thread at a time.
#include <cstdint>

#include "render/glyph_source.h"

// The context behind a context handle is a CMneDC (render/aa_context.h).

using MneHandle = uint32_t;

inline constexpr uint32_t kMneDcTag = 0x464E4443;
inline constexpr uint32_t kMneFontTag1 = 0x48474449;
inline constexpr uint32_t kMneFontTag2 = 0x48464E54;

// left, top, right, bottom.
struct MneTextRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// A context over a 16-bit RGB565 bottom-up buffer of width x height pixels;
// 0 when the buffer is null or a size is not positive.
MneHandle MneCreateDC(void* pixels, int32_t width, int32_t height);
// 1 when the context (and its own default font handle) was freed; 0 for a
// handle that is not a context. A selected font is left to its owner.
int MneDeleteDC(MneHandle dc);

// kind 1: a bitmap font of exactly that size; other kinds: a vector font.
// 0 when a size is not positive, the name is null or no font file matches.
MneHandle MneCreateFont(int32_t height, int32_t width, const char* faceName, int32_t kind);
// 1 when the font handle was freed; 0 for a null handle or one that is not
// a font handle. A context that has the font selected falls back to its own
// default font.
int MneDeleteFont(MneHandle font);
// Selects the font and returns the previous font handle; 0 with nothing
// changed for a bad context or font handle. A context's own default font
// handle may be selected: it draws nothing.
MneHandle MneSelectFont(MneHandle dc, MneHandle font);

// Property setters return the previous value, getters the value; 0 for a
// handle without a drawing context. Background colour and mode are stored
// only.
uint32_t MneSetTextColor(MneHandle dc, uint32_t colour);
uint32_t MneGetTextColor(MneHandle dc);
uint32_t MneSetBkColor(MneHandle dc, uint32_t colour);
uint32_t MneGetBkColor(MneHandle dc);
int32_t MneSetBkMode(MneHandle dc, int32_t mode);
int32_t MneGetBkMode(MneHandle dc);

// The text height when something was drawn, else 0.
int MneDrawText(MneHandle dc, const char* text, int32_t length, const MneTextRect* rect, uint32_t flags);
int MneGetTextExtent(MneHandle dc, const char* text, int32_t length, MneSize* size);

// Live slots of the handle table (for tests and the memory log).
int MneHandleCount();
