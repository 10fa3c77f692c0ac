#include "render/vector_font.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "foundation/block_cache.h"
#include "foundation/debug_trace.h"
#include "foundation/memory_heap.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace {

constexpr uint32_t kPreambleBytes = 40;
constexpr size_t kImageArenaBytes = 0x100000;
constexpr uint32_t kImageArenaUnit = 1024;
// The stored value in front of an image: size, advance width, height, pad.
constexpr size_t kImageHeaderBytes = 16;

bool SetError(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}

// [offset, offset + size) lies inside [lo, hi).
bool Inside(uint64_t offset, uint64_t size, uint64_t lo, uint64_t hi) {
    return offset >= lo && offset <= hi && size <= hi - offset;
}

bool Overlaps(uint64_t a, uint64_t aSize, uint64_t b, uint64_t bSize) {
    return aSize > 0 && bSize > 0 && a < b + bSize && b < a + aSize;
}

size_t Utf16Length(std::string_view utf8) { return platform::Utf8ToUtf16(utf8).size(); }

// Process-wide state: the pool lives from the first font to the last.
std::mutex g_poolMutex;
std::unique_ptr<CMneVectorFontPool> g_pool;
int g_liveFonts = 0;

std::mutex g_folderMutex;
std::string g_fontFolder;

}  // namespace

// ---- File parsing ----------------------------------------------------------

bool ParseFontPreamble(const uint8_t* data, size_t size, FontFilePreamble& out) {
    out = FontFilePreamble{};
    if (!data || size < kPreambleBytes) return false;
    platform::ByteReader r(data, size);
    char magic[4];
    r.Bytes(magic, 4);
    if (std::memcmp(magic, kBitmapFontMagic, 4) == 0) {
        out.bitmap = true;
    } else if (std::memcmp(magic, kVectorFontMagic, 4) != 0) {
        return false;
    }
    if (r.U16() != kFontFileVersion || r.U16() != kFontFileSubVersion || r.U32() != kFontHeaderSize) return false;
    r.Seek(fontfile::kHeight);
    out.height = r.I32();
    out.width = r.I32();
    r.I32();  // descent
    out.nameLength = r.U32();
    out.nameOffset = r.U32();
    return r.Ok() && out.nameLength <= kFontMaxNameLength;
}

bool FontFileIndex::FindGlyph(uint32_t code, Glyph& out) const {
    for (const Range& range : ranges) {
        if (code < range.first || code > range.last) continue;
        platform::ByteReader r(resident);
        r.Seek(range.recordOffset + (code - range.first) * size_t{kFontGlyphRecordSize});
        out.advance = r.U8();
        out.height = r.U8();
        out.dataLength = r.U16();
        out.dataOffset = r.U32();
        return r.Ok();
    }
    return false;
}

bool ParseFontResident(std::vector<uint8_t> resident, uint64_t fileSize, FontFileIndex& out, std::string* error) {
    out = FontFileIndex{};
    FontFilePreamble pre;
    if (!ParseFontPreamble(resident.data(), resident.size(), pre)) return SetError(error, "bad header");
    if (resident.size() < kFontHeaderSize) return SetError(error, "resident part below the header size");
    platform::ByteReader r(resident);
    r.Seek(fontfile::kResidentSize);
    const uint32_t residentSize = r.U32();
    const uint32_t maxGlyphSize = r.U32();
    r.Seek(fontfile::kDescent);
    const int32_t descent = r.I32();
    r.Seek(fontfile::kExtraOffset);
    const uint32_t extraOffset = r.U32();
    const uint32_t rangeCount = r.U32();
    const uint32_t rangeOffset = r.U32();
    if (!r.Ok()) return SetError(error, "short header");
    if (residentSize != resident.size() || residentSize < kFontHeaderSize || residentSize > fileSize ||
        residentSize > kFontMaxResidentSize) {
        return SetError(error, "resident size outside the file");
    }
    if (maxGlyphSize > kFontMaxGlyphSize) return SetError(error, "largest glyph size too large");
    if (pre.height <= 0 || pre.width <= 0) return SetError(error, "height or width not positive");
    if (!Inside(pre.nameOffset, pre.nameLength, kFontHeaderSize, residentSize) || pre.nameLength == 0) {
        return SetError(error, "face name outside the resident part");
    }
    if (extraOffset != 0 && !Inside(extraOffset, 0, kFontHeaderSize, residentSize)) {
        return SetError(error, "further section outside the resident part");
    }
    const uint64_t tableBytes = uint64_t{rangeCount} * kFontRangeEntrySize;
    if (!Inside(rangeOffset, tableBytes, kFontHeaderSize, residentSize)) {
        return SetError(error, "range table outside the resident part");
    }

    std::vector<FontFileIndex::Range> ranges(rangeCount);
    r.Seek(rangeOffset);
    for (FontFileIndex::Range& range : ranges) {
        range.first = r.U16();
        range.last = r.U16();
        range.recordOffset = r.U32();
    }
    if (!r.Ok()) return SetError(error, "short range table");

    for (const FontFileIndex::Range& range : ranges) {
        if (range.first > range.last) return SetError(error, "range with first code above last");
        const uint64_t records = uint64_t{range.last} - range.first + 1;
        const uint64_t recordBytes = records * kFontGlyphRecordSize;
        if (!Inside(range.recordOffset, recordBytes, kFontHeaderSize, residentSize) ||
            Overlaps(range.recordOffset, recordBytes, rangeOffset, tableBytes)) {
            return SetError(error, "glyph records outside the resident part");
        }
        platform::ByteReader g(resident);
        g.Seek(range.recordOffset);
        for (uint64_t i = 0; i < records; ++i) {
            g.Skip(2);  // advance, height
            const uint16_t length = g.U16();
            const uint32_t offset = g.U32();
            if (!g.Ok()) return SetError(error, "short glyph records");
            if (length == 0) continue;
            if (length > maxGlyphSize) return SetError(error, "glyph larger than the largest glyph size");
            // Glyph data lies behind the resident part, inside the file.
            if (!Inside(offset, length, residentSize, fileSize)) return SetError(error, "glyph data outside the file");
            if (!pre.bitmap && length % 4 != 0) return SetError(error, "outline of partial vertices");
        }
    }

    out.bitmap = pre.bitmap;
    out.residentSize = residentSize;
    out.maxGlyphSize = maxGlyphSize;
    out.height = pre.height;
    out.width = pre.width;
    out.descent = descent;
    out.faceName.assign(reinterpret_cast<const char*>(resident.data()) + pre.nameOffset, pre.nameLength);
    out.ranges = std::move(ranges);
    out.resident = std::move(resident);
    return true;
}

bool IsValidVectorGlyph(const uint8_t* data, size_t size) {
    if (!data || size == 0 || size % 4 != 0) return false;
    // Commands sit in the low bit of x (bit 0) and of y (bit 1).
    unsigned pendingCurve = 0;  // vertices still owed by the open curve
    for (size_t pos = 0; pos < size; pos += 4) {
        const unsigned cmd = (data[pos] & 1u) | ((data[pos + 2] & 1u) << 1);
        if (pos == 0 && cmd != 0) return false;
        if (pendingCurve > 0) {
            if (cmd != 2 && cmd != 3) return false;
            --pendingCurve;
            continue;
        }
        if (cmd == 2) pendingCurve = 1;
        if (cmd == 3) pendingCurve = 2;
    }
    return pendingCurve == 0;
}

bool IsValidBitmapGlyph(const uint8_t* data, size_t size) {
    if (!data) return false;
    platform::ByteReader r(data, size);
    auto inRange = [](int64_t v) { return v >= -kFontMaxGlyphExtent && v <= kFontMaxGlyphExtent; };
    const int32_t minX = r.I32(), minY = r.I32(), maxX = r.I32(), maxY = r.I32();
    if (!r.Ok() || !inRange(minX) || !inRange(minY) || !inRange(maxX) || !inRange(maxY)) return false;
    if (minX > maxX || minY > maxY) return false;
    if (r.Remaining() == 0) return false;
    // The scanline containers size their buffers from the bounding box, so
    // every span must lie inside it, in x order and without overlap, and
    // the lines must go down the box in y order.
    int64_t previousY = int64_t{minY} - 1;
    while (r.Remaining() > 0) {
        const size_t start = r.Position();
        const uint32_t lineBytes = r.U32();
        const int32_t y = r.I32();
        const uint32_t spans = r.U32();
        if (!r.Ok() || y <= previousY || y > maxY || spans == 0) return false;
        previousY = y;
        int64_t nextX = minX;
        for (uint32_t s = 0; s < spans; ++s) {
            const int32_t x = r.I32();
            const int32_t len = r.I32();
            if (!r.Ok() || len == 0 || !inRange(len) || x < nextX) return false;
            const int64_t cells = len < 0 ? -int64_t{len} : len;
            if (x + cells - 1 > maxX) return false;
            nextX = x + cells;
            // A negative length is a solid span with one cover byte.
            if (!r.Skip(len < 0 ? 1 : static_cast<size_t>(len))) return false;
        }
        if (r.Position() - start != lineBytes) return false;
    }
    return r.Ok();
}

bool MneFontFileEntry::ReadGlyphData(const FontFileIndex::Glyph& glyph, uint8_t* out) {
    MgrLock lock(readLock);
    return glyphFile.ReadExactAt(glyph.dataOffset, out, glyph.dataLength);
}

// ---- Folder --------------------------------------------------------------------

int SetVectorFontFolder(std::string_view baseFolder) {
    std::string folder(baseFolder);
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    folder += "Font\\";
    if (Utf16Length(folder) > platform::kMaxPath) return 0;
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_fontFolder = std::move(folder);
    return 1;
}

std::string GetVectorFontFolder() {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    return g_fontFolder;
}

namespace {

void ScanInto(const std::string& folder, std::vector<std::string>& out, int depth) {
    if (depth > 32) return;  // a link cycle; real font folders are shallow
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            ScanInto(path, out, depth + 1);
        } else if (S_ISREG(st.st_mode)) {
            out.push_back(path);
        }
    }
}

}  // namespace

std::vector<std::string> ScanFontFolder(std::string_view folder) {
    std::vector<std::string> files;
    const size_t length = Utf16Length(folder);
    if (length < 1 || length > platform::kMaxPath - 1) return files;
    std::string trimmed(folder);
    while (trimmed.size() > 1 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
    std::string native;
    if (!platform::NativePath(trimmed, native) || native.empty()) return files;
    ScanInto(native, files, 0);
    return files;
}

// ---- Pool ------------------------------------------------------------------------

CMneVectorFontPool::CMneVectorFontPool() {
    m_arena = CreateSharedBlock(std::string_view("MNEVECTORFONT"), kImageArenaUnit, kImageArenaBytes, 1);
    if (!m_arena) {
        DebugTrace(0, "CMneVectorFontPool: no arena for string images\r\n");
        return;
    }
    m_cache = std::make_unique<CMgrCache>();
    if (!m_cache->Attach(m_arena, static_cast<int>(kFontImageKeySize))) m_cache.reset();
}

CMneVectorFontPool::~CMneVectorFontPool() {
    {
        MgrLock lock(m_lock);
        m_files.clear();
    }
    if (m_cache) m_cache->Detach();
    m_cache.reset();
    if (m_arena) DestroySharedBlock(m_arena);
}

size_t CMneVectorFontPool::OpenFileCount() {
    MgrLock lock(m_lock);
    return m_files.size();
}

MneFontFileEntry* CMneVectorFontPool::OpenBitmapFont(const std::string& folder, std::string_view face,
                                                     int32_t height, int32_t width) {
    return Open(folder, face, true, height, width);
}

MneFontFileEntry* CMneVectorFontPool::OpenVectorFont(const std::string& folder, std::string_view face) {
    return Open(folder, face, false, 0, 0);
}

MneFontFileEntry* CMneVectorFontPool::Open(const std::string& folder, std::string_view face, bool bitmap,
                                           int32_t height, int32_t width) {
    MgrLock lock(m_lock);
    // Face names match whole. Compared only over the stored name's length,
    // a file "FONT1" would also answer a request for "FONT1X", and which of
    // the two a request got would depend on the order the folder lists its
    // files in.
    for (const auto& entry : m_files) {
        const FontFileIndex& index = entry->index;
        if (index.bitmap != bitmap || index.faceName != face) continue;
        if (bitmap && (index.height != height || index.width != width)) continue;
        ++entry->refCount;
        return entry.get();
    }
    for (const std::string& path : ScanFontFolder(folder)) {
        platform::File file;
        if (!file.Open(path)) continue;
        uint8_t preamble[kPreambleBytes];
        FontFilePreamble pre;
        if (!file.ReadExactAt(0, preamble, sizeof preamble) || !ParseFontPreamble(preamble, sizeof preamble, pre)) {
            continue;
        }
        if (pre.bitmap != bitmap || (bitmap && (pre.height != height || pre.width != width))) continue;
        std::string name(pre.nameLength, '\0');
        if (!file.ReadExactAt(pre.nameOffset, name.data(), name.size()) || name != face) continue;

        const int64_t fileSize = file.Size();
        platform::ByteReader sizeReader(preamble, sizeof preamble);
        sizeReader.Seek(fontfile::kResidentSize);
        const uint32_t residentSize = sizeReader.U32();
        std::string error = "resident part cannot be read";
        auto entry = std::make_unique<MneFontFileEntry>();
        bool loaded = false;
        if (fileSize > 0 && residentSize >= kFontHeaderSize && residentSize <= static_cast<uint64_t>(fileSize) &&
            residentSize <= kFontMaxResidentSize) {
            std::vector<uint8_t> resident(residentSize);
            if (file.ReadExactAt(0, resident.data(), resident.size())) {
                loaded = ParseFontResident(std::move(resident), static_cast<uint64_t>(fileSize), entry->index, &error);
            }
        }
        if (!loaded) {
            DebugTrace(0, "CMneVectorFontPool: damaged font file %s (%s)\r\n", path.c_str(), error.c_str());
            continue;
        }
        entry->path = path;
        entry->glyphFile = std::move(file);
        entry->refCount = 1;
        m_files.push_back(std::move(entry));
        return m_files.back().get();
    }
    return nullptr;
}

int CMneVectorFontPool::CloseFont(MneFontFileEntry* target) {
    MgrLock lock(m_lock);
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        if (it->get() != target) continue;
        if (--(*it)->refCount <= 0) m_files.erase(it);
        return 1;
    }
    return 0;
}

// ---- Font ----------------------------------------------------------------------------

CMneVectorFont::CMneVectorFont() {
    std::lock_guard<std::mutex> lock(g_poolMutex);
    if (!g_pool) g_pool = std::make_unique<CMneVectorFontPool>();
    m_pool = g_pool.get();
    ++g_liveFonts;
}

CMneVectorFont::~CMneVectorFont() {
    Close();
    std::lock_guard<std::mutex> lock(g_poolMutex);
    if (--g_liveFonts == 0) g_pool.reset();
}

int CMneVectorFont::LiveCount() {
    std::lock_guard<std::mutex> lock(g_poolMutex);
    return g_liveFonts;
}

CMneVectorFontPool* CMneVectorFont::Pool() {
    std::lock_guard<std::mutex> lock(g_poolMutex);
    return g_pool.get();
}

void CMneVectorFont::Close() {
    if (m_file) m_pool->CloseFont(m_file);
    m_file = nullptr;
    m_glyphBuffer.clear();
    m_glyphBuffer.shrink_to_fit();
    m_scale = 0.0;
    m_weight = 0.0;
    m_height = m_width = m_descent = 0;
    m_kind = 0;
    std::memset(m_faceName, 0, sizeof m_faceName);
    m_fullFaceName.clear();
}

int CMneVectorFont::Create(int32_t height, int32_t width, const char* faceName, int32_t storesImages,
                           int32_t kind) {
    if (m_file) Close();
    if (!faceName) return 0;
    const std::string face = faceName;
    const std::string folder = GetVectorFontFolder();
    if (kind == kFontKindBitmap) {
        m_file = m_pool->OpenBitmapFont(folder, face, height, width);
        if (!m_file) {
            DebugTrace(0, "CMneVectorFont::CreateBitmapFont Error : %s(H:%d,W:%d)\r\n", faceName, height, width);
            return 0;
        }
        m_scale = 1.0;
        m_weight = 0.0;
    } else {
        m_file = m_pool->OpenVectorFont(folder, face);
        if (!m_file) {
            DebugTrace(0, "CMneVectorFont::CreateVectorFont Error : %s(H:%d,W:%d)\r\n", faceName, height, width);
            return 0;
        }
        m_scale = static_cast<double>(height) / m_file->index.height;
        m_weight = static_cast<double>(width) / m_file->index.width - 1.0;
    }
    // The file's descent is in pixels at its own height; a vector font drawn
    // at another height keeps its baseline where its glyphs need it.
    m_descent = kind == kFontKindBitmap ? m_file->index.descent
                                        : static_cast<int32_t>(std::lround(m_file->index.descent * m_scale));
    m_height = height;
    m_width = width;
    m_storesImages = storesImages;
    m_kind = kind;
    std::strncpy(m_faceName, faceName, sizeof m_faceName - 1);
    m_fullFaceName = face;
    m_glyphBuffer.assign(m_file->index.maxGlyphSize, 0);
    return 1;
}

int CMneVectorFont::GetGlyph(uint32_t code, int32_t* advanceX, int32_t* advanceY, int32_t* dataLength,
                             const uint8_t** data, double* scale, double* weight) {
    if (!m_file) return 0;
    FontFileIndex::Glyph glyph;
    if (!m_file->index.FindGlyph(code, glyph)) return 0;
    const uint8_t* glyphData = nullptr;
    if (glyph.dataLength > 0) {
        if (glyph.dataLength > m_glyphBuffer.size() || !m_file->ReadGlyphData(glyph, m_glyphBuffer.data())) return 0;
        const bool valid = m_file->index.bitmap ? IsValidBitmapGlyph(m_glyphBuffer.data(), glyph.dataLength)
                                                : IsValidVectorGlyph(m_glyphBuffer.data(), glyph.dataLength);
        if (!valid) return 0;
        glyphData = m_glyphBuffer.data();
    }
    if (advanceX) *advanceX = static_cast<int32_t>(glyph.advance * m_scale);
    if (advanceY) *advanceY = static_cast<int32_t>(glyph.height * m_scale);
    if (dataLength) *dataLength = glyph.dataLength;
    if (data) *data = glyphData;
    if (scale) *scale = m_scale;
    if (weight) *weight = m_weight;
    return 1;
}

int CMneVectorFont::GetTextExtent(const char* text, int32_t length, MneSize* size) {
    if (!m_file || !size) return 0;
    size->cx = size->cy = 0;
    if (!text || length <= 0) return 1;
    LockPool();
    const uint8_t* image = nullptr;
    int32_t imageSize = 0, imageWidth = 0, imageHeight = 0;
    if (FindImage(text, length, &image, &imageSize, &imageWidth, &imageHeight)) {
        ReleaseImage(text, length);
        UnlockPool();
        size->cx = imageWidth;
        size->cy = imageHeight;
        return 1;
    }
    UnlockPool();
    int32_t width = 0;
    int maxHeight = 0;
    size_t pos = 0;
    uint32_t code = 0;
    while (NextFontCode(text, static_cast<size_t>(length), pos, code)) {
        FontFileIndex::Glyph glyph;
        if (!m_file->index.FindGlyph(code, glyph)) continue;
        width += static_cast<int32_t>(glyph.advance * m_scale);
        maxHeight = std::max<int>(maxHeight, glyph.height);
    }
    size->cx = width;
    size->cy = static_cast<int32_t>(maxHeight * m_scale);
    return 1;
}

bool CMneVectorFont::MakeKey(const char* text, int32_t length, uint8_t* key) const {
    if (!m_file || !text || length <= 0 || static_cast<size_t>(length) > kFontImageMaxTextBytes) return false;
    platform::ByteWriter w;
    w.Bytes(m_fullFaceName.data(), std::min(m_fullFaceName.size(), kFontImageFaceBytes));
    w.Zeros(kFontImageFaceBytes - w.Size());
    w.I32(m_kind);
    w.U32(static_cast<uint32_t>(length));
    const bool bitmap = m_kind == kFontKindBitmap;
    w.F64(bitmap ? static_cast<double>(m_height) : m_scale);
    w.F64(bitmap ? static_cast<double>(m_width) : m_weight);
    w.Bytes(text, static_cast<size_t>(length));
    w.Zeros(kFontImageKeySize - w.Size());
    std::memcpy(key, w.Data().data(), kFontImageKeySize);
    return true;
}

int CMneVectorFont::FindImage(const char* text, int32_t length, const uint8_t** data, int32_t* size,
                              int32_t* width, int32_t* height) {
    CMgrCache* cache = m_pool->ImageCache();
    uint8_t key[kFontImageKeySize];
    if (!cache || !MakeKey(text, length, key)) return 0;
    auto* value = static_cast<const uint8_t*>(cache->Lookup(key, 1));
    if (!value) return 0;
    int32_t header[3];
    std::memcpy(header, value, sizeof header);
    if (data) *data = value + kImageHeaderBytes;
    if (size) *size = header[0];
    if (width) *width = header[1];
    if (height) *height = header[2];
    return 1;
}

int CMneVectorFont::StoreImage(const char* text, int32_t length, const uint8_t* data, int32_t size, int32_t width,
                               int32_t height) {
    CMgrCache* cache = m_pool->ImageCache();
    uint8_t key[kFontImageKeySize];
    if (!cache || !data || size <= 0 || !MakeKey(text, length, key)) return 0;
    cache->Lock();
    int result = 1;
    if (cache->Lookup(key, 0)) {
        cache->Release(key, 0);  // another drawing stored it first
    } else if (auto* value = static_cast<uint8_t*>(cache->Insert(key, kImageHeaderBytes + size, 0, 0))) {
        const int32_t header[4] = {size, width, height, 0};
        std::memcpy(value, header, sizeof header);
        std::memcpy(value + kImageHeaderBytes, data, static_cast<size_t>(size));
        cache->Release(key, 0);
    } else {
        result = 0;
    }
    cache->Unlock();
    return result;
}

void CMneVectorFont::ReleaseImage(const char* text, int32_t length) {
    CMgrCache* cache = m_pool->ImageCache();
    uint8_t key[kFontImageKeySize];
    if (cache && MakeKey(text, length, key)) cache->Release(key, 1);
}

void CMneVectorFont::LockPool() {
    if (CMgrCache* cache = m_pool->ImageCache()) cache->Lock();
}

void CMneVectorFont::UnlockPool() {
    if (CMgrCache* cache = m_pool->ImageCache()) cache->Unlock();
}
