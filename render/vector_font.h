#pragma once
// The program's own fonts. A font file ("Font\*.*") holds either outline
// glyphs ("FVNM", drawn at any size) or pre-rendered coverage images for one
// size ("FBNM"), indexed by ranges of CP949 codes. The pool opens each file
// once for every font that uses it, serves glyph data from it, and keeps
// rendered images of whole strings so that repeated labels are not
// rasterised again.
//
// Glyph data handed out by CMneVectorFont::GetGlyph has been checked against
// its file: an outline is a whole sequence of 4-byte vertices in the form of
// agg::serialized_integer_path_adaptor<int16_t, 6>, a bitmap glyph a complete
// image in the form of agg::serialized_scanlines_adaptor_aa8, so both can be
// handed to those adaptors as they are.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/critical_section.h"
#include "platform/file_io.h"
#include "render/glyph_source.h"

// ---- File layout -----------------------------------------------------------

inline constexpr char kBitmapFontMagic[4] = {'F', 'B', 'N', 'M'};
inline constexpr char kVectorFontMagic[4] = {'F', 'V', 'N', 'M'};
inline constexpr uint16_t kFontFileVersion = 1;      // the u16 at 4
inline constexpr uint16_t kFontFileSubVersion = 4;   // the u16 at 6
inline constexpr uint32_t kFontHeaderSize = 56;
inline constexpr uint32_t kFontRangeEntrySize = 8;
inline constexpr uint32_t kFontGlyphRecordSize = 8;
inline constexpr uint32_t kFontMaxNameLength = 64;   // stored names are below 65 bytes
// Limits a sound file stays far below; larger values mark a damaged file.
inline constexpr uint32_t kFontMaxResidentSize = 16u << 20;
inline constexpr uint32_t kFontMaxGlyphSize = 1u << 20;
// Coordinates of a bitmap glyph image, in pixels from the pen position.
inline constexpr int32_t kFontMaxGlyphExtent = 4096;

// Header offsets.
namespace fontfile {
inline constexpr size_t kMagic = 0, kVersion = 4, kSubVersion = 6, kHeaderSize = 8, kResidentSize = 12,
                        kMaxGlyphSize = 16, kHeight = 20, kWidth = 24, kDescent = 28, kNameLength = 32,
                        kNameOffset = 36, kUnused = 40, kExtraOffset = 44, kRangeCount = 48,
                        kRangeOffset = 52;
}  // namespace fontfile

inline constexpr int kFontKindBitmap = 1;
inline constexpr int kFontKindVector = 0;

// The next character of 8-bit (CP949) text: a byte with the top bit set and
// the byte after it form one two-byte code, high byte first; any other byte
// is a one-byte code. A lead byte with nothing after it is taken alone.
// Advances pos; false at the end of the text.
inline bool NextFontCode(const char* text, size_t length, size_t& pos, uint32_t& code) {
    if (!text || pos >= length) return false;
    const auto b0 = static_cast<uint8_t>(text[pos]);
    if ((b0 & 0x80) && pos + 1 < length) {
        code = (uint32_t{b0} << 8) | static_cast<uint8_t>(text[pos + 1]);
        pos += 2;
    } else {
        code = b0;
        pos += 1;
    }
    return true;
}

// ---- Parsed resident part ----------------------------------------------------

// What a font file's resident part says, after every offset in it has been
// checked against the file. Offsets stay offsets into the loaded block.
struct FontFileIndex {
    struct Range {
        uint16_t first = 0;
        uint16_t last = 0;
        uint32_t recordOffset = 0;  // into the resident block
    };
    struct Glyph {
        uint8_t advance = 0;
        uint8_t height = 0;
        uint16_t dataLength = 0;
        uint32_t dataOffset = 0;  // into the file
    };

    bool bitmap = false;
    uint32_t residentSize = 0;
    uint32_t maxGlyphSize = 0;
    int32_t height = 0;
    int32_t width = 0;
    int32_t descent = 0;
    std::string faceName;  // 8-bit, as stored
    std::vector<uint8_t> resident;
    std::vector<Range> ranges;

    // The record of code: false when no range holds it.
    bool FindGlyph(uint32_t code, Glyph& out) const;
};

// Checks the first 40 bytes of a file (what the folder scan reads before it
// looks at the face name). Fills the kind, sizes and the name's place.
struct FontFilePreamble {
    bool bitmap = false;
    int32_t height = 0;
    int32_t width = 0;
    uint32_t nameLength = 0;
    uint32_t nameOffset = 0;
};
bool ParseFontPreamble(const uint8_t* data, size_t size, FontFilePreamble& out);

// Parses and checks a resident block (what the file holds from offset 0 on,
// resident-size bytes) against a file of fileSize bytes: every range, glyph
// record and glyph data span must lie inside its data, no table may overlap
// the header, and no glyph may be larger than the declared largest glyph.
// On failure out is left empty and error says why.
bool ParseFontResident(std::vector<uint8_t> resident, uint64_t fileSize, FontFileIndex& out,
                       std::string* error = nullptr);

// Checks glyph data read from a file: a vector glyph must be whole vertices,
// start with a move-to and close every curve; a bitmap glyph must be one
// complete scanline image whose spans stay inside its data and within
// kFontMaxGlyphExtent of the pen.
bool IsValidVectorGlyph(const uint8_t* data, size_t size);
bool IsValidBitmapGlyph(const uint8_t* data, size_t size);

// ---- Pool --------------------------------------------------------------------

class CMgrCache;
struct MgrSharedBlock;

// One open font file shared by every font that uses it.
struct MneFontFileEntry {
    std::string path;  // native
    FontFileIndex index;
    platform::File glyphFile;  // kept open for glyph reads
    CMgrCriticalSection readLock;
    int refCount = 0;

    // Reads glyph data at the record's offset into out (room for the
    // file's largest glyph). False when the read falls short.
    bool ReadGlyphData(const FontFileIndex::Glyph& glyph, uint8_t* out);
};

// The key length of the string-image cache. The key holds the whole string
// (up to kFontImageMaxTextBytes bytes; longer strings are not stored).
inline constexpr size_t kFontImageFaceBytes = 64;
inline constexpr size_t kFontImageMaxTextBytes = 256;
inline constexpr size_t kFontImageKeySize = kFontImageFaceBytes + 4 + 4 + 8 + 8 + kFontImageMaxTextBytes;

class CMneVectorFontPool {
public:
    CMneVectorFontPool();
    ~CMneVectorFontPool();
    CMneVectorFontPool(const CMneVectorFontPool&) = delete;
    CMneVectorFontPool& operator=(const CMneVectorFontPool&) = delete;

    // The shared entry of a matching file (one more reference), or null.
    MneFontFileEntry* OpenBitmapFont(const std::string& folder, std::string_view face, int32_t height,
                                     int32_t width);
    MneFontFileEntry* OpenVectorFont(const std::string& folder, std::string_view face);
    // Drops one reference; closes the file at the last. 1 when found.
    int CloseFont(MneFontFileEntry* entry);

    // The string-image cache (null when its arena could not be had).
    CMgrCache* ImageCache() { return m_cache.get(); }
    // Number of open files (for tests and diagnostics).
    size_t OpenFileCount();

private:
    MneFontFileEntry* Open(const std::string& folder, std::string_view face, bool bitmap, int32_t height,
                           int32_t width);

    CMgrCriticalSection m_lock;
    std::list<std::unique_ptr<MneFontFileEntry>> m_files NAVI_GUARDED_BY(m_lock);
    MgrSharedBlock* m_arena = nullptr;
    std::unique_ptr<CMgrCache> m_cache;
};

// The font folder becomes baseFolder followed by "Font\". 0 (the folder
// unchanged) when the result would exceed 260 characters.
int SetVectorFontFolder(std::string_view baseFolder);
std::string GetVectorFontFolder();

// Every plain file below folder (a Windows-style or native path), depth
// first, each folder's entries in name order. Empty for a path outside 1 to
// 259 characters.
std::vector<std::string> ScanFontFolder(std::string_view folder);

// ---- Font ----------------------------------------------------------------------

class CMneVectorFont : public MneGlyphSource {
public:
    CMneVectorFont();
    ~CMneVectorFont() override;
    CMneVectorFont(const CMneVectorFont&) = delete;
    CMneVectorFont& operator=(const CMneVectorFont&) = delete;

    // kind 1: a bitmap font of exactly height x width; any other kind: a
    // vector font scaled to height. 1 or 0 (with a trace line).
    int Create(int32_t height, int32_t width, const char* faceName, int32_t storesImages, int32_t kind);

    // 1 with the glyph of code; data points into the font's glyph buffer
    // and stays valid until the next GetGlyph on this font. advanceX and
    // advanceY are in pixels (already scaled).
    int GetGlyph(uint32_t code, int32_t* advanceX, int32_t* advanceY, int32_t* dataLength, const uint8_t** data,
                 double* scale, double* weight) override;
    int GetTextExtent(const char* text, int32_t length, MneSize* size) override;

    // The stored image of a whole string: 1 with the entry referenced until
    // ReleaseImage. The caller holds LockPool around find-draw-store.
    int FindImage(const char* text, int32_t length, const uint8_t** data, int32_t* size, int32_t* width,
                  int32_t* height) override;
    int StoreImage(const char* text, int32_t length, const uint8_t* data, int32_t size, int32_t width,
                   int32_t height) override;
    void ReleaseImage(const char* text, int32_t length) override;
    void LockPool() override;
    void UnlockPool() override;

    int32_t Kind() const override { return m_kind; }
    int32_t Descent() const override { return m_descent; }
    int32_t StoresImages() const override { return m_storesImages; }

    bool HasFile() const { return m_file != nullptr; }
    bool IsBitmap() const { return m_kind == kFontKindBitmap; }
    double Scale() const { return m_scale; }
    double Weight() const { return m_weight; }
    int32_t Height() const { return m_height; }
    int32_t Width() const { return m_width; }
    const char* FaceName() const { return m_faceName; }

    // Live fonts in the process (the pool lives while this is above 0).
    static int LiveCount();
    // The pool, null while no font lives.
    static CMneVectorFontPool* Pool();

private:
    void Close();
    bool MakeKey(const char* text, int32_t length, uint8_t* key) const;

    CMneVectorFontPool* m_pool = nullptr;  // lives at least as long as this font
    std::vector<uint8_t> m_glyphBuffer;
    MneFontFileEntry* m_file = nullptr;
    double m_scale = 0.0;
    double m_weight = 0.0;
    int32_t m_height = 0;
    int32_t m_width = 0;
    int32_t m_descent = 0;
    int32_t m_storesImages = 1;
    int32_t m_kind = 0;
    char m_faceName[32] = {};
    std::string m_fullFaceName;  // as matched in the file, for the image keys
};
