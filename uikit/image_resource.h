#pragma once
// UI images: the decoded images (RGB565 DIBs, bottom-up, with an optional
// alpha plane), the image resource objects that hold one image or the frames
// of an animation, the pool that shares decoded images by resource id, the
// two package readers and the JPEG decoder.
//
// UI packages ("1.0"): "%s\uiscript_resource%03d_cr%02d.dat" in the UI
// folder, package 1 = 001 cr01, package 2 = 002 cr (image colour index + 1)
// with its name table ".idx". Image resource id = (package - 1) x 2000 +
// entry number.
//
// Named packages (0x0101): a data file and an optional name table opened
// into one of 8 slots (theme images, junction patterns, traffic packs).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"
#include "render/dib_image.h"
#include "uikit/nv_rsc_object.h"

// Image kinds (the control dump's words).
enum : int32_t {
    RESOURCE_NONE = 0,
    RESOURCE_AREA = 1,
    RESOURCE_BMP = 2,
    RESOURCE_ANIMATION = 3,
    RESOURCE_ALPHA = 4,
    RESOURCE_JPG = 5,
    RESOURCE_DATA = 6,
};

// Draw flags of an image.
inline constexpr uint32_t kImageDrawColorKey = 0x1;  // pixels 0xF81F are not drawn
inline constexpr uint32_t kImageDrawBlend = 0x2;     // blend with the constant level

inline constexpr int kImageIdsPerPackage = 2000;
inline constexpr int kImagePoolEntries = 2000;
inline constexpr uint16_t kColorKey565 = 0xF81F;
inline constexpr int kNamedPackageSlots = 8;
inline constexpr size_t kNameTableLineBytes = 31;  // the LF included

// 0xRRGGBB to the pixel the toolkit's blank images use: each component
// keeps its low bits, unscaled (0xFF00FF gives 0xF81F).
constexpr uint16_t NvColorToPixel(uint32_t rgb) {
    return static_cast<uint16_t>((((rgb >> 16) & 0x1F) << 11) | (((rgb >> 8) & 0x3F) << 5) | (rgb & 0x1F));
}

class NvImageData {
public:
    NvImageData() = default;
    virtual ~NvImageData() = default;
    NvImageData(const NvImageData&) = delete;
    NvImageData& operator=(const NvImageData&) = delete;

    // Allocates the DIB (stride = width x 2 rounded up to 4 bytes) and, with
    // alpha, a zeroed alpha plane of the same layout. False for an empty or
    // absurd size.
    bool CreateDib(int32_t width, int32_t height, bool alpha);

    uint16_t GetWidth() const { return static_cast<uint16_t>(width); }
    uint16_t GetHeight() const { return static_cast<uint16_t>(height); }
    // Every pixel and, when present, every alpha entry.
    void Fill(uint16_t value);
    // Screen addressing (y down) into the bottom-up rows.
    uint16_t Pixel(int32_t x, int32_t y) const;
    uint16_t Alpha(int32_t x, int32_t y) const;
    const char* KindName() const;

    int32_t kind = RESOURCE_NONE;
    uint32_t headerValue = 0;   // kept from the "MBDF" header
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowStep = 0;        // source row step in bytes
    int16_t headerShort = 0;    // kept from the "MBDF" header
    int16_t bitsPerPixel = 16;
    DibImage565 dib;
    uint32_t imageSize = 0;     // height x stride
    uint16_t stride = 0;
    uint8_t* bits = nullptr;    // the DIB's pixels, bottom-up
    std::vector<uint16_t> alpha;  // empty: no alpha plane
    uint32_t drawFlags = 0;
    uint32_t blendLevel = 0;
    uint32_t frameDelayMs = 0;
    uint32_t frameCount = 1;
    int32_t resourceId = 0;
    uint8_t pooled = 0;         // loaded by a UI package reader
    uint8_t notPooled = 0;      // from a named package
};

// One image resource: one image, or the frames of an animation. Its
// rectangle is the object's own (m_rect).
class NvImageRsc : public NvRscObject {
public:
    NvImageRsc() = default;
    ~NvImageRsc() override;

    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    // Takes one reference of the image (null keeps an empty place).
    void AddFrame(NvImageData* image);
    // For an animation: moves to the next loaded frame (wrapping) when the
    // current frame's delay is less than nowMs minus the last change.
    bool StepFrame(uint32_t nowMs);
    // The current frame's image; never a missing frame.
    NvImageData* Current() const;
    NvImageData* Frame(size_t index) const { return index < m_frames.size() ? m_frames[index] : nullptr; }

    // Draws the current image into the renderer's back buffer at (x, y),
    // width x height of it from (srcX, srcY), by the image's kind and flags
    // (uikit/renderer.cpp). Mode 0 restores the background layer first;
    // mode 1 or 2 blends over what the back buffer holds. 1, or 0 when
    // nothing could be drawn.
    int DrawImage(int32_t x, int32_t y, int32_t width, int32_t height, int mode, int32_t srcX = 0,
                  int32_t srcY = 0);
    // The whole image at the object's rectangle, mode 0.
    void Draw(int target, bool full) override;

    int32_t kind = RESOURCE_NONE;
    uint16_t frameCount = 0;
    uint16_t currentFrame = 0;
    uint32_t lastChangeMs = 0;

private:
    std::vector<NvImageData*> m_frames;  // each holds one reference
};

// The shared decoded images, by resource id. Main thread only.
class NvImageDataPool {
public:
    struct Entry {
        int32_t resourceId = 0;
        uint16_t refCount = 0;
        int16_t state = 0;  // 0 free, 1 in use, 2 retired (no longer found by id)
        uint32_t tickMs = 0;
        std::unique_ptr<NvImageData> image;
    };

    // Registers with one reference: into the first free entry (entryIndex
    // -1) or the given entry. Null when no entry is free or the entry holds
    // another id; the image then stays the caller's.
    NvImageData* RegistImageData(int32_t resourceId, std::unique_ptr<NvImageData>& image, int entryIndex = -1);
    // An in-use image with this id, one more reference; null when none.
    NvImageData* Find(int32_t resourceId, int* entryIndex = nullptr);
    // Drops one reference; frees the image at the last. False when the image
    // is not pooled here.
    bool Release(const NvImageData* image);
    // Retires every in-use image with an id above minId: later look-ups load
    // it again, while the owners keep theirs until their last release.
    int RetireAbove(int32_t minId);
    void Age(uint32_t nowMs) { m_clockMs = nowMs; }
    void Clear();

    int InUse() const { return m_inUse; }
    int Registrations() const { return m_registrations; }
    const Entry& At(int index) const { return m_entries[static_cast<size_t>(index)]; }
    int RefCount(const NvImageData* image) const;

private:
    std::vector<Entry> m_entries = std::vector<Entry>(kImagePoolEntries);
    int m_inUse = 0;
    int m_registrations = 0;
    uint32_t m_clockMs = 0;
};

// ---------------------------------------------------------------- name table

// The ".idx" name table: names (upper case, sorted) to entry numbers.
class NvNameTable {
public:
    // Parses the whole text. False (table empty, error set) when refused.
    bool Parse(const uint8_t* data, size_t size, std::string* error = nullptr);
    bool Load(const std::string& nativePath, std::string* error = nullptr);
    // The entry number of the name (upper-cased for the search), or -1.
    int Find(std::string_view name) const;
    bool Empty() const { return m_names.empty(); }
    size_t Size() const { return m_names.size(); }
    int DeclaredCount() const { return m_count; }

private:
    std::vector<std::pair<std::string, int>> m_names;
    int m_count = 0;
};

// ---------------------------------------------------------------- images

// Decodes an "MBDF" record into a new image of the given kind (2, 4 with
// the alpha stream, 5 with JPEG data), unpacking through scratch
// (scratchBytes long). Null for a bad magic, a size over the scratch, data
// cut short or an unpack error.
std::unique_ptr<NvImageData> NvDecodeMbdf(const uint8_t* data, size_t size, int32_t kind, uint8_t* scratch,
                                          size_t scratchBytes, int32_t resourceId = 0);

// JPEG to RGB565 rows (width x 2 bytes apart, top row first) in out, which
// holds outBytes. 1, or 0 for a broken or unsupported file (CMYK) or one
// that does not fit out.
int NvDecodeJpeg(const uint8_t* data, size_t size, uint8_t* out, size_t outBytes, int32_t* width, int32_t* height);

// ---------------------------------------------------------------- UI packages

// A package's bytes: a file read piece by piece, or bytes in memory that the
// caller keeps alive.
class NvPackageBytes {
public:
    bool Open(const std::string& nativePath);
    void OpenBytes(const uint8_t* data, size_t size);
    void Close();
    uint64_t Size() const { return m_size; }
    // n bytes at offset, or null when they are not all inside: a pointer into
    // the memory, or into buffer (resized) for a file.
    const uint8_t* Read(uint64_t offset, size_t n, std::vector<uint8_t>& buffer) const;

private:
    platform::File m_file;
    const uint8_t* m_memory = nullptr;
    uint64_t m_size = 0;
};

struct NvUiPackageEntry {
    uint32_t kind = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t drawFlags = 0;
    uint32_t blendLevel = 0;
    uint32_t frameDelayMs = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
    uint8_t frameCount = 0;
};

inline constexpr size_t kUiPackageHeaderBytes = 48;
inline constexpr size_t kUiPackageEntryBytes = 32;

// A "1.0" package: the entry table kept, data read per image.
class ResourceLoader {
public:
    // Opens the data file and, when nameTablePath is not empty, its name
    // table. False for a missing file, a wrong header, an entry table past
    // the end of the file or a refused name table.
    bool Open(const std::string& dataPath, const std::string& nameTablePath, std::string* error = nullptr);
    // The same over bytes in memory (the caller keeps them alive).
    bool OpenBytes(const uint8_t* data, size_t size, const uint8_t* names, size_t namesSize,
                   std::string* error = nullptr);
    void Close();
    bool IsOpen() const { return m_open; }

    int Count() const { return static_cast<int>(m_entries.size()); }
    // Entry 1..Count, else null.
    const NvUiPackageEntry* GetEntry(int entry) const;
    // The entry's data, checked to lie inside the file; null when it does not.
    const uint8_t* ReadData(int entry, size_t* size);
    // Loads the image of entry (1..Count) with the entry's flags; null for
    // an empty entry, bad data or one larger than the scratch.
    std::unique_ptr<NvImageData> LoadImage(int entry, int32_t resourceId, uint8_t* scratch, size_t scratchBytes);
    // The resource id of a name in this package ((package - 1) x 2000 +
    // entry number), or -1. The caller's name is not changed.
    int32_t FindId(std::string_view name, int package) const;

private:
    bool ParseHeader(std::string* error);

    NvPackageBytes m_bytes;
    std::vector<NvUiPackageEntry> m_entries;
    std::vector<uint8_t> m_data;  // the one data buffer
    NvNameTable m_names;
    bool m_open = false;
};

// ---------------------------------------------------------------- the holder

// Creates the resource holder for the UI folder: a scratch buffer of the
// screen's size and package 1 opened. 0 (nothing kept) when package 1 is
// missing or broken: the program cannot show a screen without it.
int NvInitResourceLoader(const std::string& uiFolder, int32_t screenWidth = 800, int32_t screenHeight = 480);
// Closes the packages and frees the scratch buffer. Pooled images still held
// stay valid until their owners release them.
void NvReleaseResourceLoader();
bool NvResourceLoaderReady();

// The image of a resource id, one more reference; null for -1 (none), 0, an
// id of 4000 or more, a missing package, an empty entry, bad data or a full
// pool.
NvImageData* NvGetImageData(int32_t resourceId);
// Back to the pool (one reference fewer) or deleted when not pooled.
void NvReleaseImageData(NvImageData* image);
// One image, or the frames id, id + 1, ... of an animation.
std::unique_ptr<NvImageRsc> NvLoadImageRsc(int32_t resourceId);
// Blank images (not pooled): filled with 0xFF00FF, or the colour.
std::unique_ptr<NvImageRsc> NvCreateImageRsc(int32_t width, int32_t height, bool alpha);
NvImageData* NvCreateImageData(int32_t width, int32_t height, uint32_t colorRgb, bool alpha);
// Image colour index of packages from 2 on. False for a package outside 1..15.
bool NvSetImageColorScheme(int package, int colorIndex);
// The pool's clock, once per frame.
void NvAgeImagePool();
NvImageDataPool* NvGetImageDataPool();
// The resource id of a name in the open UI package, or -1.
int32_t NvFindImageId(std::string_view name);
// Package number open now (-1 none) and the image colour index (-1 unset).
int NvOpenUiPackage();
int NvImageColorIndex();

// ---------------------------------------------------------------- named packages

struct NvNamedEntry {
    uint32_t offset = 0;
    uint32_t size = 0;
    uint16_t x = 0, y = 0, width = 0, height = 0;
    uint8_t kind = 0;  // 0 no data, 1 "MBDF", 2 JPEG
};

inline constexpr uint16_t kNamedPackageVersion = 0x0101;
inline constexpr size_t kNamedPackageHeaderBytes = 24;
inline constexpr size_t kNamedPackageEntryBytes = 20;

class NvResourceLoaderEx {
public:
    bool Open(const std::string& dataPath, const std::string& nameTablePath, std::string* error = nullptr);
    bool OpenBytes(const uint8_t* data, size_t size, const uint8_t* names, size_t namesSize,
                   std::string* error = nullptr);
    int Count() const { return static_cast<int>(m_entries.size()); }

    // Entry number of a wide name (fewer than 32 characters), or -1.
    int FindIndex(std::u16string_view name) const;
    // x, y, width, height of entry 1..Count; false outside.
    bool GetInfo(int entry, int* x, int* y, int* width, int* height) const;
    bool GetInfoByName(std::u16string_view name, int* x, int* y, int* width, int* height) const;
    // The raw bytes of a named entry: valid until the next load.
    const uint8_t* LoadDataByName(std::u16string_view name, int* kind, size_t* size);
    const uint8_t* LoadData(int entry, int* kind, size_t* size);
    // A new image (kind 2, not pooled) of entry 1..Count; null on failure.
    NvImageData* LoadImage(int entry);
    NvImageData* LoadImageByName(std::u16string_view name);
    static void FreeImage(NvImageData* image);

private:
    bool ParseHeader(std::string* error);

    NvPackageBytes m_bytes;
    std::vector<NvNamedEntry> m_entries;
    std::vector<uint8_t> m_data;
    NvNameTable m_names;
};

// Slot -1 takes the first empty slot. Null when the slot is taken or out of
// range, or the package does not open.
NvResourceLoaderEx* NvOpenResourceLoaderEx(const std::string& dataPath, const std::string& nameTablePath,
                                           int slot = -1);
NvResourceLoaderEx* NvGetResourceLoaderEx(int slot);
void NvCloseResourceLoaderEx(NvResourceLoaderEx* reader);
void NvCloseAllResourceLoaderEx();
