#include "uikit/image_resource.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "foundation/critical_section.h"
#include "foundation/debug_trace.h"
#include "platform/byte_cursor.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace {

constexpr char kMbdfMagic[4] = {'M', 'B', 'D', 'F'};
constexpr char kUiPackageVersion[4] = {'1', '.', '0', '\0'};
// Failures of images are quiet in the field (a control draws without its
// image); level 5 shows them while developing.
constexpr int kImageTraceLevel = 5;

std::string UpperCopy(std::string_view name) {
    std::string upper(name);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::string NativeOf(const std::string& name) {
    std::string native;
    platform::NativePath(name, native);
    return native;
}

// Copies unpacked rows (top row first, srcStep bytes apart) into the DIB's
// bottom-up rows so the picture stands upright.
void CopyRowsBottomUp(NvImageData& image, const uint8_t* src, size_t srcStep) {
    const size_t rowBytes = static_cast<size_t>(image.width) * 2;
    for (int32_t r = 0; r < image.height; ++r)
        std::memcpy(image.bits + static_cast<size_t>(r) * image.stride,
                    src + static_cast<size_t>(image.height - 1 - r) * srcStep, rowBytes);
}

// One zlib stream into scratch; true when it filled exactly `need` bytes.
bool Unpack(const uint8_t* packed, size_t packedSize, uint8_t* scratch, size_t scratchBytes, size_t need,
            int32_t resourceId) {
    uLongf destLen = static_cast<uLongf>(scratchBytes);
    const int code = uncompress(scratch, &destLen, packed, static_cast<uLong>(packedSize));
    if (code != Z_OK || destLen < need) {
        DebugTrace(kImageTraceLevel,
                   "[ERROR] ------- operator uncompress db(%0lx), ds(%zu), eb(%0lx), es(%zu) code=%d ID(%d)\n",
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(scratch)), scratchBytes,
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(packed)), packedSize, code, resourceId);
        return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- NvImageData

bool NvImageData::CreateDib(int32_t w, int32_t h, bool withAlpha) {
    if (w <= 0 || h <= 0 || !dib.Create(w, h)) return false;
    width = w;
    height = h;
    rowStep = w * 2;
    bitsPerPixel = 16;
    stride = static_cast<uint16_t>(dib.Stride());
    imageSize = static_cast<uint32_t>(h) * stride;
    bits = dib.Bits();
    if (withAlpha) alpha.assign(imageSize / 2, 0);
    return true;
}

void NvImageData::Fill(uint16_t value) {
    if (bits) dib.Fill(value);
    std::fill(alpha.begin(), alpha.end(), value);
}

uint16_t NvImageData::Pixel(int32_t x, int32_t y) const {
    if (!bits || x < 0 || y < 0 || x >= width || y >= height) return 0;
    return dib.Pixel(x, y);
}

uint16_t NvImageData::Alpha(int32_t x, int32_t y) const {
    if (alpha.empty() || x < 0 || y < 0 || x >= width || y >= height) return 0;
    return alpha[static_cast<size_t>(height - 1 - y) * (stride / 2) + static_cast<size_t>(x)];
}

const char* NvImageData::KindName() const {
    switch (kind) {
        case RESOURCE_AREA: return "RESOURCE_AREA";
        case RESOURCE_BMP: return "RESOURCE_BMP";
        case RESOURCE_ANIMATION: return "RESOURCE_ANIMATION";
        case RESOURCE_ALPHA: return "RESOURCE_ALPHA";
        case RESOURCE_JPG: return "RESOURCE_JPG";
        case RESOURCE_DATA: return "RESOURCE_DATA";
        default: return "RESOURCE_NONE";
    }
}

// ---------------------------------------------------------------- NvImageRsc

const NvRuntimeClass NvImageRsc::kClass{"NvImageRsc", &NvRscObject::kClass};

NvImageRsc::~NvImageRsc() {
    for (NvImageData* image : m_frames)
        if (image) NvReleaseImageData(image);
}

void NvImageRsc::AddFrame(NvImageData* image) {
    if (m_frames.empty() && image) kind = image->kind;
    m_frames.push_back(image);
    frameCount = static_cast<uint16_t>(m_frames.size());
}

bool NvImageRsc::StepFrame(uint32_t nowMs) {
    if (kind != RESOURCE_ANIMATION || m_frames.size() < 2) return false;
    const NvImageData* shown = Current();
    const uint32_t delay = shown ? shown->frameDelayMs : 0;
    if (!(delay < nowMs - lastChangeMs)) return false;
    // Frames that failed to load keep their place but are passed over.
    size_t next = currentFrame;
    for (size_t n = 0; n < m_frames.size(); ++n) {
        next = (next + 1) % m_frames.size();
        if (m_frames[next]) break;
    }
    currentFrame = static_cast<uint16_t>(next);
    lastChangeMs = nowMs;
    return true;
}

NvImageData* NvImageRsc::Current() const {
    if (currentFrame < m_frames.size() && m_frames[currentFrame]) return m_frames[currentFrame];
    for (NvImageData* image : m_frames)
        if (image) return image;
    return nullptr;
}

// ---------------------------------------------------------------- pool

NvImageData* NvImageDataPool::RegistImageData(int32_t resourceId, std::unique_ptr<NvImageData>& image,
                                              int entryIndex) {
    if (!image) return nullptr;
    Entry* entry = nullptr;
    if (entryIndex >= 0) {
        if (entryIndex >= kImagePoolEntries) return nullptr;
        entry = &m_entries[static_cast<size_t>(entryIndex)];
        if (entry->state != 0 && entry->resourceId != resourceId) {
            DebugTrace(kImageTraceLevel, "ERR: NvImageDataPool::RegistImageData %d != %d\n", entry->resourceId,
                       resourceId);
            return nullptr;
        }
        if (entry->state != 0) return nullptr;
    } else {
        for (Entry& e : m_entries) {
            if (e.state == 0) {
                entry = &e;
                break;
            }
        }
        if (!entry) {
            DebugTrace(kImageTraceLevel, "NvImageDataPool::RegistImageData : empty slot none -1- \n");
            return nullptr;
        }
    }
    image->resourceId = resourceId;
    entry->resourceId = resourceId;
    entry->refCount = 1;
    entry->state = 1;
    entry->tickMs = m_clockMs;
    entry->image = std::move(image);
    ++m_inUse;
    ++m_registrations;
    return entry->image.get();
}

NvImageData* NvImageDataPool::Find(int32_t resourceId, int* entryIndex) {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        Entry& e = m_entries[i];
        if (e.state == 1 && e.resourceId == resourceId) {
            ++e.refCount;
            e.tickMs = m_clockMs;
            if (entryIndex) *entryIndex = static_cast<int>(i);
            return e.image.get();
        }
    }
    return nullptr;
}

bool NvImageDataPool::Release(const NvImageData* image) {
    for (Entry& e : m_entries) {
        if (e.state == 0 || e.image.get() != image) continue;
        if (e.refCount > 1) {
            --e.refCount;
        } else {
            e = Entry{};
            --m_inUse;
        }
        return true;
    }
    return false;
}

int NvImageDataPool::RetireAbove(int32_t minId) {
    int retired = 0;
    for (Entry& e : m_entries) {
        if (e.state == 1 && e.resourceId > minId) {
            e.state = 2;
            ++retired;
        }
    }
    return retired;
}

void NvImageDataPool::Clear() {
    for (Entry& e : m_entries) e = Entry{};
    m_inUse = 0;
}

int NvImageDataPool::RefCount(const NvImageData* image) const {
    for (const Entry& e : m_entries)
        if (e.state != 0 && e.image.get() == image) return e.refCount;
    return 0;
}

// ---------------------------------------------------------------- name table

bool NvNameTable::Parse(const uint8_t* data, size_t size, std::string* error) {
    m_names.clear();
    m_count = 0;
    auto refuse = [&](const char* why) {
        m_names.clear();
        m_count = 0;
        if (error) *error = why;
        return false;
    };
    bool haveCount = false;
    size_t pos = 0;
    while (pos < size) {
        const auto* lf = static_cast<const uint8_t*>(std::memchr(data + pos, '\n', size - pos));
        if (!lf) break;  // a last line without LF is not read
        const size_t end = static_cast<size_t>(lf - data);
        if (end + 1 - pos > kNameTableLineBytes) return refuse("name table line longer than 31 bytes");
        std::string_view line(reinterpret_cast<const char*>(data + pos), end - pos);
        pos = end + 1;
        if (!line.empty() && line.front() == '#') continue;
        if (!haveCount) {
            m_count = std::atoi(std::string(line.substr(0, line.find('\t'))).c_str());
            if (m_count <= 1) return refuse("name table count must be more than 1");
            haveCount = true;
            continue;
        }
        const size_t tab = line.find('\t');
        const std::string_view name = line.substr(0, tab);
        if (name.empty() || name == "0") return refuse("empty name in name table");
        if (m_names.size() >= static_cast<size_t>(m_count)) return refuse("more names than the count");
        const int entry = tab == std::string_view::npos ? 0 : std::atoi(std::string(line.substr(tab + 1)).c_str());
        m_names.emplace_back(std::string(name), entry);
    }
    if (!haveCount) return refuse("name table without a count");
    if (m_names.empty()) return refuse("name table without names");
    return true;
}

bool NvNameTable::Load(const std::string& nativePath, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(nativePath, bytes, error)) {
        m_names.clear();
        return false;
    }
    return Parse(bytes.data(), bytes.size(), error);
}

int NvNameTable::Find(std::string_view name) const {
    const std::string key = UpperCopy(name);
    const auto less = [](const std::pair<std::string, int>& a, const std::string& b) {
        return std::lexicographical_compare(a.first.begin(), a.first.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
                                            });
    };
    const auto it = std::lower_bound(m_names.begin(), m_names.end(), key, less);
    return it != m_names.end() && it->first == key ? it->second : -1;
}

// ---------------------------------------------------------------- MBDF

std::unique_ptr<NvImageData> NvDecodeMbdf(const uint8_t* data, size_t size, int32_t kind, uint8_t* scratch,
                                          size_t scratchBytes, int32_t resourceId) {
    platform::ByteReader r(data, size);
    char magic[4];
    if (!r.Bytes(magic, 4) || std::memcmp(magic, kMbdfMagic, 4) != 0) return nullptr;
    auto image = std::make_unique<NvImageData>();
    image->kind = kind;
    image->headerValue = r.U32();
    const uint32_t width = r.U32();
    const uint32_t height = r.U32();
    const uint32_t rowBytes = r.U32();
    image->headerShort = r.I16();
    r.I16();  // bits per pixel: always 16
    const uint32_t packedSize = r.U32();
    const uint8_t* packed = r.Span(packedSize);
    if (!r.Ok() || !packed) return nullptr;
    // The picture must fit the scratch buffer whole, as its rows go there
    // before they are copied.
    const uint64_t pixels = uint64_t{width} * height;
    if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF || pixels * 2 > scratchBytes) {
        DebugTrace(kImageTraceLevel, "[ERROR] ------- image %ux%u larger than the screen ID(%d)\n", width, height,
                   resourceId);
        return nullptr;
    }
    const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
    if (kind == RESOURCE_JPG) {
        int32_t jw = 0, jh = 0;
        if (!NvDecodeJpeg(packed, packedSize, scratch, scratchBytes, &jw, &jh) || jw != w || jh != h) return nullptr;
        if (!image->CreateDib(w, h, false)) return nullptr;
        CopyRowsBottomUp(*image, scratch, static_cast<size_t>(w) * 2);
        image->headerValue = 0;
        image->headerShort = 0;
        return image;
    }
    // The row step of the stored rows: at least a row of pixels.
    if (rowBytes < width * 2 || uint64_t{rowBytes} * height > scratchBytes) return nullptr;
    if (!Unpack(packed, packedSize, scratch, scratchBytes, size_t{rowBytes} * height, resourceId)) return nullptr;
    if (!image->CreateDib(w, h, kind == RESOURCE_ALPHA)) return nullptr;
    image->rowStep = static_cast<int32_t>(rowBytes);
    CopyRowsBottomUp(*image, scratch, rowBytes);
    if (kind == RESOURCE_ALPHA) {
        const uint32_t alphaSize = r.U32();
        const uint8_t* alphaPacked = r.Span(alphaSize);
        if (!r.Ok() || !alphaPacked ||
            !Unpack(alphaPacked, alphaSize, scratch, scratchBytes, size_t{rowBytes} * height, resourceId))
            return nullptr;
        const size_t words = image->stride / 2;
        for (int32_t row = 0; row < h; ++row) {
            const uint8_t* s = scratch + static_cast<size_t>(h - 1 - row) * rowBytes;
            uint16_t* d = image->alpha.data() + static_cast<size_t>(row) * words;
            for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint16_t>(s[2 * x] | s[2 * x + 1] << 8);
        }
    }
    return image;
}

// ---------------------------------------------------------------- UI packages

bool NvPackageBytes::Open(const std::string& nativePath) {
    Close();
    if (!m_file.Open(nativePath)) return false;
    const int64_t size = m_file.Size();
    m_size = size > 0 ? static_cast<uint64_t>(size) : 0;
    return true;
}

void NvPackageBytes::OpenBytes(const uint8_t* data, size_t size) {
    Close();
    m_memory = data;
    m_size = data ? size : 0;
}

void NvPackageBytes::Close() {
    m_file.Close();
    m_memory = nullptr;
    m_size = 0;
}

const uint8_t* NvPackageBytes::Read(uint64_t offset, size_t n, std::vector<uint8_t>& buffer) const {
    if (offset > m_size || n > m_size - offset) return nullptr;
    if (m_memory) return m_memory + offset;
    buffer.resize(n);
    if (n > 0 && !m_file.ReadExactAt(offset, buffer.data(), n)) return nullptr;
    return buffer.data();
}

bool ResourceLoader::Open(const std::string& dataPath, const std::string& nameTablePath, std::string* error) {
    Close();
    if (!m_bytes.Open(dataPath)) {
        if (error) *error = "cannot open " + dataPath;
        return false;
    }
    if (!ParseHeader(error) || (!nameTablePath.empty() && !m_names.Load(nameTablePath, error))) {
        Close();
        return false;
    }
    m_open = true;
    return true;
}

bool ResourceLoader::OpenBytes(const uint8_t* data, size_t size, const uint8_t* names, size_t namesSize,
                               std::string* error) {
    Close();
    m_bytes.OpenBytes(data, size);
    if (!ParseHeader(error) || (names && !m_names.Parse(names, namesSize, error))) {
        Close();
        return false;
    }
    m_open = true;
    return true;
}

bool ResourceLoader::ParseHeader(std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    std::vector<uint8_t> buffer;
    const uint8_t* head = m_bytes.Read(0, kUiPackageHeaderBytes, buffer);
    if (!head) return fail("package shorter than its header");
    if (std::memcmp(head + 32, kUiPackageVersion, 4) != 0) return fail("package header is not \"1.0\"");
    platform::ByteReader hr(head, kUiPackageHeaderBytes);
    hr.Seek(44);
    const uint32_t count = hr.U32();
    // The table (header, one empty slot, the entries) must lie in the file.
    const uint64_t tableBytes = kUiPackageHeaderBytes + kUiPackageEntryBytes * (uint64_t{count} + 1);
    const uint8_t* table = tableBytes <= m_bytes.Size() ? m_bytes.Read(0, tableBytes, buffer) : nullptr;
    if (!table) return fail("entry table past the end of the package");
    platform::ByteReader r(table, tableBytes);
    m_entries.resize(count);
    for (uint32_t k = 1; k <= count; ++k) {
        r.Seek(kUiPackageHeaderBytes + kUiPackageEntryBytes * k);
        NvUiPackageEntry& e = m_entries[k - 1];
        e.kind = r.U32();
        e.width = r.U16();
        e.height = r.U16();
        e.drawFlags = r.U32();
        e.blendLevel = r.U32();
        e.frameDelayMs = r.U32();
        e.offset = r.U32();
        e.size = r.U32();
        e.frameCount = r.U8();
    }
    return true;
}

void ResourceLoader::Close() {
    m_bytes.Close();
    m_entries.clear();
    m_data.clear();
    m_names = NvNameTable{};
    m_open = false;
}

const NvUiPackageEntry* ResourceLoader::GetEntry(int entry) const {
    return entry >= 1 && entry <= Count() ? &m_entries[static_cast<size_t>(entry - 1)] : nullptr;
}

const uint8_t* ResourceLoader::ReadData(int entry, size_t* size) {
    const NvUiPackageEntry* e = GetEntry(entry);
    if (!e) return nullptr;
    *size = e->size;
    return m_bytes.Read(e->offset, e->size, m_data);
}

int32_t ResourceLoader::FindId(std::string_view name, int package) const {
    const int entry = m_names.Find(name);
    return entry < 0 ? -1 : (package - 1) * kImageIdsPerPackage + entry;
}

std::unique_ptr<NvImageData> ResourceLoader::LoadImage(int entry, int32_t resourceId, uint8_t* scratch,
                                                       size_t scratchBytes) {
    const NvUiPackageEntry* e = GetEntry(entry);
    if (!e || e->kind < RESOURCE_AREA || e->kind > RESOURCE_DATA) {
        DebugTrace(kImageTraceLevel, "[ERROR] ------- no image at entry %d ID(%d)\n", entry, resourceId);
        return nullptr;
    }
    const NvUiPackageEntry info = *e;
    std::unique_ptr<NvImageData> image;
    if (info.kind == RESOURCE_AREA) {
        image = std::make_unique<NvImageData>();
        image->kind = RESOURCE_AREA;
        image->width = info.width;
        image->height = info.height;
    } else {
        size_t size = 0;
        const uint8_t* data = ReadData(entry, &size);
        if (!data) {
            DebugTrace(kImageTraceLevel, "[ERROR] ------- data of entry %d past the end ID(%d)\n", entry, resourceId);
            return nullptr;
        }
        image = NvDecodeMbdf(data, size, static_cast<int32_t>(info.kind), scratch, scratchBytes, resourceId);
        if (!image) return nullptr;
    }
    image->drawFlags = info.drawFlags;
    image->blendLevel = info.blendLevel;
    image->frameDelayMs = info.frameDelayMs;
    image->frameCount = info.frameCount;
    image->pooled = 1;
    image->resourceId = resourceId;
    return image;
}

// ---------------------------------------------------------------- the holder

namespace {

struct ResourceHolder {
    CMgrCriticalSection lock;
    std::string folder;
    std::vector<uint8_t> scratch;
    ResourceLoader package;
    int openPackage = -1;
    int colorIndex = -1;
};

std::unique_ptr<ResourceHolder> g_holder;
NvImageDataPool g_pool;
std::unique_ptr<NvResourceLoaderEx> g_named[kNamedPackageSlots];
// The named readers' scratch when no holder exists (tools, tests).
std::vector<uint8_t> g_namedScratch;

std::vector<uint8_t>& Scratch() {
    if (g_holder) return g_holder->scratch;
    if (g_namedScratch.empty()) g_namedScratch.resize(size_t{800} * 480 * 2);
    return g_namedScratch;
}

std::string PackageFile(const std::string& folder, int package, int colorIndex, const char* ext) {
    char name[64];
    std::snprintf(name, sizeof name, "uiscript_resource%03d_cr%02d.%s", package, colorIndex + 1, ext);
    return NativeOf(folder + "\\" + name);
}

// Opens the package (1 or 2) in the holder; false leaves none open.
bool OpenPackage(ResourceHolder& h, int package) {
    h.package.Close();
    h.openPackage = -1;
    std::string error;
    bool ok = false;
    if (package == 1) {
        ok = h.package.Open(PackageFile(h.folder, 1, 0, "dat"), "", &error);
    } else if (package == 2) {
        const int cr = h.colorIndex < 0 ? 0 : h.colorIndex;
        ok = h.package.Open(PackageFile(h.folder, 2, cr, "dat"), PackageFile(h.folder, 2, cr, "idx"), &error);
    } else {
        error = "no such package";
    }
    if (!ok) {
        DebugTrace(1, "[UI] image package %d does not open: %s\n", package, error.c_str());
        return false;
    }
    h.openPackage = package;
    return true;
}

}  // namespace

int NvInitResourceLoader(const std::string& uiFolder, int32_t screenWidth, int32_t screenHeight) {
    NvReleaseResourceLoader();
    if (screenWidth <= 0 || screenHeight <= 0 || screenWidth > DibImage565::kMaxSide ||
        screenHeight > DibImage565::kMaxSide)
        return 0;
    auto holder = std::make_unique<ResourceHolder>();
    holder->folder = uiFolder;
    holder->scratch.resize(static_cast<size_t>(screenWidth) * static_cast<size_t>(screenHeight) * 2);
    if (!OpenPackage(*holder, 1)) return 0;
    g_holder = std::move(holder);
    return 1;
}

void NvReleaseResourceLoader() {
    g_holder.reset();
    // Images still shown by controls stay theirs until released; none of
    // them is found again by id once the holder is gone.
    g_pool.RetireAbove(-1);
    NvCloseAllResourceLoaderEx();
}

bool NvResourceLoaderReady() { return g_holder != nullptr; }

NvImageData* NvGetImageData(int32_t resourceId) {
    // -1 is the empty field of a control record: no image.
    if (!g_holder || resourceId < 0) return nullptr;
    ResourceHolder& h = *g_holder;
    MgrLock guard(h.lock);
    const int package = resourceId / kImageIdsPerPackage + 1;
    if (package > 2) {
        DebugTrace(kImageTraceLevel, "[ERROR] ------- no package for ID(%d)\n", resourceId);
        return nullptr;
    }
    if (package != h.openPackage && !OpenPackage(h, package)) return nullptr;
    if (NvImageData* pooled = g_pool.Find(resourceId)) return pooled;
    const int entry = resourceId % kImageIdsPerPackage;
    if (resourceId == 0 || entry == 0) {
        DebugTrace(kImageTraceLevel, "[ERROR] ------- uResourceID=0 FAIL ID(%d)\n", resourceId);
        return nullptr;
    }
    std::unique_ptr<NvImageData> image = h.package.LoadImage(entry, resourceId, h.scratch.data(), h.scratch.size());
    if (!image) return nullptr;
    NvImageData* registered = g_pool.RegistImageData(resourceId, image);
    if (!registered) {
        DebugTrace(kImageTraceLevel, "NvImageDataPool::RegistImageData : empty slot none -2- \n");
        return nullptr;  // the decoded image is freed with `image`
    }
    return registered;
}

void NvReleaseImageData(NvImageData* image) {
    if (!image) return;
    if (image->pooled && !image->notPooled && g_pool.Release(image)) return;
    delete image;  // not pooled: the caller's own
}

std::unique_ptr<NvImageRsc> NvLoadImageRsc(int32_t resourceId) {
    NvImageData* first = NvGetImageData(resourceId);
    if (!first) return nullptr;
    auto rsc = std::make_unique<NvImageRsc>();
    rsc->AddFrame(first);
    rsc->m_rect.width = first->width;
    rsc->m_rect.height = first->height;
    const bool single = first->kind == RESOURCE_AREA || first->kind == RESOURCE_BMP || first->kind == RESOURCE_ALPHA;
    const uint32_t frames = single ? 1 : std::max<uint32_t>(first->frameCount, 1);
    // A frame that fails to load keeps an empty place.
    for (uint32_t f = 1; f < frames; ++f) rsc->AddFrame(NvGetImageData(resourceId + static_cast<int32_t>(f)));
    return rsc;
}

std::unique_ptr<NvImageRsc> NvCreateImageRsc(int32_t width, int32_t height, bool alpha) {
    NvImageData* image = NvCreateImageData(width, height, 0xFF00FF, alpha);
    if (!image) return nullptr;
    auto rsc = std::make_unique<NvImageRsc>();
    rsc->AddFrame(image);
    rsc->m_rect.width = width;
    rsc->m_rect.height = height;
    return rsc;
}

NvImageData* NvCreateImageData(int32_t width, int32_t height, uint32_t colorRgb, bool alpha) {
    auto image = std::make_unique<NvImageData>();
    if (!image->CreateDib(width, height, alpha)) return nullptr;
    image->kind = alpha ? RESOURCE_ALPHA : RESOURCE_BMP;
    image->headerShort = 1;
    image->dib.Fill(NvColorToPixel(colorRgb));
    return image.release();  // owned by the caller until NvReleaseImageData
}

bool NvSetImageColorScheme(int package, int colorIndex) {
    if (package < 1 || package > 15) return false;
    if (!g_holder) return true;
    ResourceHolder& h = *g_holder;
    MgrLock guard(h.lock);
    if (colorIndex == h.colorIndex) return true;
    h.colorIndex = colorIndex >= 0 && colorIndex <= 1 ? colorIndex : 0;
    // Images of the old colours leave the look-up; their owners keep them
    // until they release them. The open package of the old colours closes,
    // so the next image comes from the new colours' file.
    g_pool.RetireAbove((package - 1) * kImageIdsPerPackage);
    if (h.openPackage >= package) {
        h.package.Close();
        h.openPackage = -1;
    }
    return true;
}

void NvAgeImagePool() { g_pool.Age(MgrGetTickCount()); }

NvImageDataPool* NvGetImageDataPool() { return &g_pool; }

int32_t NvFindImageId(std::string_view name) {
    if (!g_holder) return -1;
    return g_holder->package.FindId(name, g_holder->openPackage < 0 ? 1 : g_holder->openPackage);
}

int NvOpenUiPackage() { return g_holder ? g_holder->openPackage : -1; }
int NvImageColorIndex() { return g_holder ? g_holder->colorIndex : -1; }

// ---------------------------------------------------------------- named packages

bool NvResourceLoaderEx::Open(const std::string& dataPath, const std::string& nameTablePath, std::string* error) {
    if (!nameTablePath.empty() && !m_names.Load(nameTablePath, error)) return false;
    if (!m_bytes.Open(dataPath)) {
        DebugTrace(1, "ERR: fail to open file %s\n", dataPath.c_str());
        if (error) *error = "cannot open " + dataPath;
        return false;
    }
    return ParseHeader(error);
}

bool NvResourceLoaderEx::OpenBytes(const uint8_t* data, size_t size, const uint8_t* names, size_t namesSize,
                                   std::string* error) {
    if (names && !m_names.Parse(names, namesSize, error)) return false;
    m_bytes.OpenBytes(data, size);
    return ParseHeader(error);
}

bool NvResourceLoaderEx::ParseHeader(std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        m_entries.clear();
        return false;
    };
    std::vector<uint8_t> buffer;
    const uint8_t* head = m_bytes.Read(0, 4, buffer);
    if (!head) return fail("package shorter than its header");
    platform::ByteReader hr(head, 4);
    if (hr.U16() != kNamedPackageVersion) return fail("package version is not 0x0101");
    const uint16_t count = hr.U16();
    const uint64_t tableBytes = kNamedPackageHeaderBytes + uint64_t{kNamedPackageEntryBytes} * count;
    const uint8_t* table = tableBytes <= m_bytes.Size() ? m_bytes.Read(0, tableBytes, buffer) : nullptr;
    if (!table) return fail("entry table past the end of the package");
    platform::ByteReader r(table, tableBytes);
    m_entries.resize(count);
    for (size_t k = 1; k <= count; ++k) {
        r.Seek(4 + kNamedPackageEntryBytes * k);
        NvNamedEntry& e = m_entries[k - 1];
        e.offset = r.U32();
        e.size = r.U32();
        e.x = r.U16();
        e.y = r.U16();
        e.width = r.U16();
        e.height = r.U16();
        e.kind = r.U8();
    }
    return true;
}

int NvResourceLoaderEx::FindIndex(std::u16string_view name) const {
    if (name.size() >= 32) return -1;
    std::u16string upper(name);
    for (char16_t& c : upper)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    std::string ansi;
    if (!platform::Utf16ToCp949(upper, ansi) || ansi.size() > 32) return -1;
    return m_names.Find(ansi);
}

bool NvResourceLoaderEx::GetInfo(int entry, int* x, int* y, int* width, int* height) const {
    if (entry < 1 || entry > Count()) return false;
    const NvNamedEntry& e = m_entries[static_cast<size_t>(entry - 1)];
    if (x) *x = e.x;
    if (y) *y = e.y;
    if (width) *width = e.width;
    if (height) *height = e.height;
    return true;
}

bool NvResourceLoaderEx::GetInfoByName(std::u16string_view name, int* x, int* y, int* width, int* height) const {
    return GetInfo(FindIndex(name), x, y, width, height);
}

const uint8_t* NvResourceLoaderEx::LoadData(int entry, int* kind, size_t* size) {
    if (entry < 1 || entry > Count()) return nullptr;
    const NvNamedEntry& e = m_entries[static_cast<size_t>(entry - 1)];
    if (e.kind == 0) return nullptr;
    if (kind) *kind = e.kind;
    if (size) *size = e.size;
    return m_bytes.Read(e.offset, e.size, m_data);
}

const uint8_t* NvResourceLoaderEx::LoadDataByName(std::u16string_view name, int* kind, size_t* size) {
    return LoadData(FindIndex(name), kind, size);
}

NvImageData* NvResourceLoaderEx::LoadImage(int entry) {
    if (entry == 0) {
        DebugTrace(kImageTraceLevel, "[ERROR] ------- uResourceID=0 FAIL ID(%d)\n", entry);
        return nullptr;
    }
    int kind = 0;
    size_t size = 0;
    const uint8_t* data = LoadData(entry, &kind, &size);
    if (!data) return nullptr;
    std::vector<uint8_t>& scratch = Scratch();
    std::unique_ptr<NvImageData> image;
    if (kind == 2) {
        int32_t w = 0, h = 0;
        if (!NvDecodeJpeg(data, size, scratch.data(), scratch.size(), &w, &h)) return nullptr;
        image = std::make_unique<NvImageData>();
        if (!image->CreateDib(w, h, false)) return nullptr;
        CopyRowsBottomUp(*image, scratch.data(), static_cast<size_t>(w) * 2);
    } else if (kind == 1) {
        image = NvDecodeMbdf(data, size, RESOURCE_BMP, scratch.data(), scratch.size(), entry);
        if (!image) return nullptr;
        image->headerValue = 0;
    } else {
        return nullptr;
    }
    image->kind = RESOURCE_BMP;
    image->drawFlags = 1;
    image->blendLevel = 0;
    image->frameDelayMs = 0;
    image->frameCount = 1;
    image->alpha.clear();
    image->notPooled = 1;
    return image.release();  // the caller frees it with FreeImage
}

NvImageData* NvResourceLoaderEx::LoadImageByName(std::u16string_view name) {
    const int entry = FindIndex(name);
    return entry < 0 ? nullptr : LoadImage(entry);
}

void NvResourceLoaderEx::FreeImage(NvImageData* image) { delete image; }

NvResourceLoaderEx* NvOpenResourceLoaderEx(const std::string& dataPath, const std::string& nameTablePath, int slot) {
    if (slot < -1 || slot >= kNamedPackageSlots) return nullptr;
    if (slot == -1) {
        for (int s = 0; s < kNamedPackageSlots; ++s) {
            if (!g_named[s]) {
                slot = s;
                break;
            }
        }
        if (slot == -1) return nullptr;
    }
    if (g_named[slot]) return nullptr;
    auto reader = std::make_unique<NvResourceLoaderEx>();
    std::string error;
    if (!reader->Open(NativeOf(dataPath), nameTablePath.empty() ? "" : NativeOf(nameTablePath), &error)) {
        DebugTrace(kImageTraceLevel, "[UI] named package %s: %s\n", dataPath.c_str(), error.c_str());
        return nullptr;
    }
    g_named[slot] = std::move(reader);
    return g_named[slot].get();
}

NvResourceLoaderEx* NvGetResourceLoaderEx(int slot) {
    return slot >= 0 && slot < kNamedPackageSlots ? g_named[slot].get() : nullptr;
}

void NvCloseResourceLoaderEx(NvResourceLoaderEx* reader) {
    for (auto& slot : g_named)
        if (reader && slot.get() == reader) slot.reset();
}

void NvCloseAllResourceLoaderEx() {
    for (auto& slot : g_named) slot.reset();
}
