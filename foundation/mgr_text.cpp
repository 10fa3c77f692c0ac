#include "foundation/mgr_text.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "foundation/debug_trace.h"
#include "platform/codepage.h"
#include "platform/paths.h"

// ---------------------------------------------------------------- reader

int CMgrTextReader::Open(const std::string& nativePath, int64_t startOffset) {
    Close();
    if (!m_file.Open(nativePath)) return -1;
    m_size = m_file.Size();
    if (m_size < 0) {
        Close();
        return -1;
    }
    return Seek(startOffset);
}

int CMgrTextReader::OpenBytes(std::string_view bytes, int64_t startOffset) {
    Close();
    // A non-null pointer marks the memory source even for no bytes.
    m_memory = bytes.data() ? bytes.data() : "";
    m_size = static_cast<int64_t>(bytes.size());
    return Seek(startOffset);
}

int CMgrTextReader::Seek(int64_t offset) {
    m_bufferOffset = std::clamp<int64_t>(offset, 0, m_size);
    m_valid = 0;
    m_pos = 0;
    m_eof = m_bufferOffset >= m_size;
    m_line.clear();
    return 0;
}

void CMgrTextReader::Close() {
    m_file.Close();
    m_memory = nullptr;
    m_size = 0;
    m_valid = 0;
    m_pos = 0;
    m_bufferOffset = 0;
    m_eof = true;
}

int CMgrTextReader::NextByte() {
    if (m_pos >= m_valid) {
        if (m_eof) return -1;
        m_bufferOffset += static_cast<int64_t>(m_valid);
        m_buffer.resize(kBufferBytes);
        const size_t want = static_cast<size_t>(std::min<int64_t>(kBufferBytes, m_size - m_bufferOffset));
        int64_t got = 0;
        if (m_memory) {
            std::memcpy(m_buffer.data(), m_memory + m_bufferOffset, want);
            got = static_cast<int64_t>(want);
        } else {
            got = m_file.ReadAt(static_cast<uint64_t>(m_bufferOffset), m_buffer.data(), want);
        }
        m_valid = got > 0 ? static_cast<size_t>(got) : 0;
        m_pos = 0;
        // A file that shrank (or an error) ends the reading too.
        if (m_valid == 0 || m_bufferOffset + static_cast<int64_t>(m_valid) >= m_size) m_eof = true;
        if (m_valid == 0) return -1;
    }
    return static_cast<unsigned char>(m_buffer[m_pos++]);
}

int CMgrTextReader::ReadLine(char* buffer, int maxLength) {
    if (!IsOpen()) return -1;
    m_line.clear();
    int64_t full = 0;
    for (;;) {
        const int c = NextByte();
        if (c < 0) {
            if (full == 0) {
                if (buffer && maxLength >= 0) buffer[0] = 0;
                return 0;
            }
            break;
        }
        if (c == '\r' || c == '\n') {
            if (full == 0) continue;
            break;
        }
        if (m_line.size() < kBufferBytes) m_line.push_back(static_cast<char>(c));
        ++full;
    }
    if (buffer && maxLength >= 0) {
        const size_t n = std::min(m_line.size(), static_cast<size_t>(maxLength));
        std::memcpy(buffer, m_line.data(), n);
        buffer[n] = 0;
    }
    return static_cast<int>(std::min<int64_t>(full, std::numeric_limits<int>::max()));
}

// ---------------------------------------------------------------- fields

namespace {

constexpr size_t kFieldBytes = 512;

// Copies the field at line into the thread's field buffer (cut at 511) and
// returns the position after its TAB, or null when it was the last field.
const char* TakeField(const char* line, char (&field)[kFieldBytes]) {
    const char* end = line;
    while (*end && *end != '\t') ++end;
    const size_t n = std::min(static_cast<size_t>(end - line), kFieldBytes - 1);
    std::memcpy(field, line, n);
    field[n] = 0;
    return *end == '\t' ? end + 1 : nullptr;
}

// atoi without its undefined overflow: saturates at the 64-bit range and
// the callers cut to their width.
int64_t FieldNumber(const char* field) {
    const long long v = std::strtoll(field, nullptr, 10);
    return static_cast<int64_t>(v);
}

template <typename T>
const char* GetNumberField(const char* line, T* out, T emptyValue) {
    if (!line) return nullptr;
    thread_local char field[kFieldBytes];
    const char* next = TakeField(line, field);
    if (out) *out = field[0] == 0 ? emptyValue : static_cast<T>(FieldNumber(field));
    return next;
}

}  // namespace

const char* GetTabFieldByte(const char* line, uint8_t* out) { return GetNumberField<uint8_t>(line, out, 255); }
const char* GetTabFieldShort(const char* line, int16_t* out) { return GetNumberField<int16_t>(line, out, -1); }
const char* GetTabFieldInt(const char* line, int32_t* out) {
    if (!line) return nullptr;
    thread_local char field[kFieldBytes];
    const char* next = TakeField(line, field);
    if (out) {
        // atoi gives a 32-bit int; keep it in range rather than wrap.
        const int64_t v = FieldNumber(field);
        *out = field[0] == 0 ? -1
                             : static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                                        std::numeric_limits<int32_t>::max()));
    }
    return next;
}
const char* GetTabFieldWord(const char* line, uint16_t* out) { return GetNumberField<uint16_t>(line, out, 65535); }
const char* GetTabFieldDword(const char* line, uint32_t* out) {
    return GetNumberField<uint32_t>(line, out, 4294967295u);
}

const char* SkipTabField(const char* line) {
    if (!line) return nullptr;
    const char* tab = std::strchr(line, '\t');
    return tab ? tab + 1 : nullptr;
}

const char* GetTabFieldString(const char* line, char* out, size_t size) {
    if (!line) return nullptr;
    thread_local char field[kFieldBytes];
    const char* next = TakeField(line, field);
    if (out && size > 0) {
        std::string_view text(field);
        if (!text.empty() && text.front() == '"') text.remove_prefix(1);
        if (!text.empty() && text.back() == '"') text.remove_suffix(1);
        const size_t n = std::min(text.size(), size - 1);
        std::memcpy(out, text.data(), n);
        out[n] = 0;
    }
    return next;
}

// ---------------------------------------------------------------- MgrText

namespace {

std::atomic<MgrText*> g_textTable{nullptr};

constexpr int kLineBytes = static_cast<int>(CMgrTextReader::kBufferBytes);

}  // namespace

MgrText::MgrText() { g_textTable.store(this, std::memory_order_release); }

MgrText::~MgrText() {
    MgrText* self = this;
    g_textTable.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

int MgrText::Init(const char16_t* folder, int noLoad) {
    Release();
    const std::string folderUtf8 = platform::Utf16ToUtf8(folder ? folder : u"");
    // The folder had to fit a 256-byte name buffer.
    if (folderUtf8.size() >= 256) return 0;
    m_folder = platform::NativePath(folderUtf8);
    const std::string listPath = platform::NativePath(folderUtf8 + "\\text_file_config.txt");
    CMgrTextReader reader;
    if (listPath.empty() || reader.Open(listPath) != 0) {
        DebugTrace(1, "[TEXT] no text-file list %s\n", listPath.c_str());
        return 0;
    }
    ReadFileList(reader);
    reader.Close();
    if (!noLoad) LoadTextFiles();
    return 1;
}

void MgrText::ReadFileList(CMgrTextReader& reader) {
    std::vector<char> line(kLineBytes + 1);
    // First pass: how many table slots.
    int count = 0;
    reader.Seek(0);
    while (reader.ReadLine(line.data(), kLineBytes) > 0) {
        if (line[0] == '#') continue;
        int32_t index = -1;
        GetTabFieldInt(line.data(), &index);
        if (line[0] == '\t' || line[0] == 0) break;  // an empty first field ends the list
        if (index < 0 || index >= kMgrTextMaxFiles) continue;
        count = std::max(count, index + 1);
    }
    m_fileCount = count;
    // Second pass: the names.
    reader.Seek(0);
    while (reader.ReadLine(line.data(), kLineBytes) > 0) {
        if (line[0] == '#') continue;
        int32_t index = -1;
        const char* p = GetTabFieldInt(line.data(), &index);
        if (line[0] == '\t' || line[0] == 0) break;
        if (index < 0 || index >= kMgrTextMaxFiles) {
            DebugTrace(1, "[TEXT] text-file index %d out of range\n", index);
            continue;
        }
        p = SkipTabField(SkipTabField(p));
        char name[kLineBytes + 1] = {};
        GetTabFieldString(p, name, sizeof name);
        // An empty name, or one starting with "0", means no file.
        m_tables[index].fileName = name[0] == '0' ? std::string() : std::string(name);
    }
}

int MgrText::LoadTextFiles() {
    for (int i = 0; i < m_fileCount; ++i) {
        Table& table = m_tables[i];
        table.texts.clear();
        if (table.fileName.empty()) continue;
        const std::string path = platform::NativePath(m_folder + "/" + table.fileName);
        CMgrTextReader reader;
        if (path.empty() || reader.Open(path) != 0) {
            DebugTrace(1, "[TEXT] cannot open text file %d: %s\n", i, path.c_str());
            continue;
        }
        LoadTable(i, reader);
    }
    return 1;
}

void MgrText::LoadTable(int fileIndex, CMgrTextReader& reader) {
    if (fileIndex < 0 || fileIndex >= kMgrTextMaxFiles) return;
    Table& table = m_tables[fileIndex];
    table.texts.clear();
    std::vector<char> line(kLineBytes + 1);
    // First pass: the number of ids.
    int count = 0;
    reader.Seek(0);
    while (reader.ReadLine(line.data(), kLineBytes) > 0) {
        if (line[0] == '#') continue;
        if (line[0] == '\t') break;  // an empty id ends the file
        int32_t id = -1;
        GetTabFieldInt(line.data(), &id);
        if (id < 0 || id >= kMgrTextMaxIds) continue;
        count = std::max(count, id + 1);
    }
    table.texts.resize(static_cast<size_t>(count));
    // Second pass: the texts.
    reader.Seek(0);
    int badText = 0;
    while (reader.ReadLine(line.data(), kLineBytes) > 0) {
        if (line[0] == '#') continue;
        if (line[0] == '\t') break;
        int32_t id = -1;
        const char* p = GetTabFieldInt(line.data(), &id);
        if (id < 0 || id >= count) continue;
        char text[kLineBytes + 1] = {};
        GetTabFieldString(p, text, sizeof text);
        // An empty text or the single "0" marks a text that is not there.
        if (text[0] == 0 || (text[0] == '0' && text[1] == 0)) {
            table.texts[static_cast<size_t>(id)].reset();
            continue;
        }
        std::u16string wide;
        if (!platform::Cp949ToUtf16(text, wide)) {
            ++badText;
            table.texts[static_cast<size_t>(id)].reset();
            continue;
        }
        if (wide.size() > static_cast<size_t>(kMgrTextMaxChars)) wide.resize(kMgrTextMaxChars);
        table.texts[static_cast<size_t>(id)] = std::make_unique<std::u16string>(std::move(wide));
    }
    if (badText) DebugTrace(1, "[TEXT] table %d: %d text(s) not CP949, left out\n", fileIndex, badText);
}

const char16_t* MgrText::GetText(int fileIndex, int textId) const {
    if (fileIndex < 0 || fileIndex >= kMgrTextMaxFiles) return u"";
    const Table& table = m_tables[fileIndex];
    if (textId < 0 || static_cast<size_t>(textId) >= table.texts.size()) return u"";
    const auto& text = table.texts[static_cast<size_t>(textId)];
    return text ? text->c_str() : u"";
}

void MgrText::Release() {
    for (Table& table : m_tables) {
        table.fileName.clear();
        table.texts.clear();
        table.texts.shrink_to_fit();
    }
    m_fileCount = 0;
}

const std::string& MgrText::GetFileName(int fileIndex) const {
    static const std::string kNone;
    return fileIndex >= 0 && fileIndex < kMgrTextMaxFiles ? m_tables[fileIndex].fileName : kNone;
}

int MgrText::GetTextCount(int fileIndex) const {
    return fileIndex >= 0 && fileIndex < kMgrTextMaxFiles ? static_cast<int>(m_tables[fileIndex].texts.size()) : 0;
}

const char16_t* GetMgrText(int fileIndex, int textId) {
    const MgrText* table = g_textTable.load(std::memory_order_acquire);
    return table ? table->GetText(fileIndex, textId) : u"";
}
