#pragma once
// Text tables: every text the screens show comes from tab-separated CP949
// files in the UI folder, listed in "text_file_config.txt" and looked up by
// (table index, text id). Also the buffered line reader and the small
// readers that take one tab-separated field off a line, which the UI-script
// loaders use as well.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

// Reads a text file line by line through a 4096-byte window. Lines end at
// CR or LF; empty lines are skipped. Reads either a file or bytes in memory
// (tests, fuzzing).
class CMgrTextReader {
public:
    static constexpr size_t kBufferBytes = 4096;

    CMgrTextReader() = default;
    ~CMgrTextReader() = default;
    CMgrTextReader(const CMgrTextReader&) = delete;
    CMgrTextReader& operator=(const CMgrTextReader&) = delete;

    // Opens a native path for reading from startOffset. 0, or -1 when the
    // file cannot be opened.
    int Open(const std::string& nativePath, int64_t startOffset = 0);
    // Reads from bytes the caller keeps alive until Close.
    int OpenBytes(std::string_view bytes, int64_t startOffset = 0);
    // The next non-empty line without its line end: at most maxLength bytes
    // and a terminator go to buffer (which holds maxLength + 1). Returns the
    // line's full length, 0 at the end of the file, -1 when nothing is open.
    // Bytes of a line beyond kBufferBytes are counted but not kept.
    int ReadLine(char* buffer, int maxLength);
    // Empties the buffers and continues reading at offset.
    int Seek(int64_t offset);
    void Close();
    bool IsOpen() const { return m_file.IsOpen() || m_memory; }

private:
    int NextByte();

    platform::File m_file;
    const char* m_memory = nullptr;     // in-memory source, else the file
    std::vector<char> m_buffer;         // the read window
    std::string m_line;                 // the line being collected
    int64_t m_bufferOffset = 0;         // file offset of m_buffer[0]
    size_t m_valid = 0;                 // bytes of the window in use
    size_t m_pos = 0;                   // read position in the window
    int64_t m_size = 0;                 // file size
    bool m_eof = false;
};

// Field readers. Each reads the text up to the next TAB (or the end of the
// line) and converts it like atoi; an empty field gives 255, -1, -1, 65535
// and 4294967295 respectively. They return the position after the TAB, or
// null when the field was the last of the line; a null line gives null at
// once and leaves out alone. A field is cut at 511 characters. Not for use
// by two threads at once on the same line buffer (each thread has its own
// field buffer).
const char* GetTabFieldByte(const char* line, uint8_t* out);
const char* GetTabFieldShort(const char* line, int16_t* out);
const char* GetTabFieldInt(const char* line, int32_t* out);
const char* GetTabFieldWord(const char* line, uint16_t* out);
const char* GetTabFieldDword(const char* line, uint32_t* out);
// The position after the next TAB, or null at the end of the line.
const char* SkipTabField(const char* line);
// Copies the field into out (size bytes with the terminator), dropping one
// leading and one trailing double quote.
const char* GetTabFieldString(const char* line, char* out, size_t size);

inline constexpr int kMgrTextMaxFiles = 128;
// Longest stored text, in UTF-16 units.
inline constexpr int kMgrTextMaxChars = 512;
// Text ids at or above this are refused, so one bad id cannot make a table
// of billions of slots.
inline constexpr int kMgrTextMaxIds = 65536;

// The text tables. The one object registers itself as the process-wide
// table when constructed (GetMgrText reads it) and unregisters when
// destroyed.
class MgrText {
public:
    MgrText();
    virtual ~MgrText();
    MgrText(const MgrText&) = delete;
    MgrText& operator=(const MgrText&) = delete;

    // Reads "%s\text_file_config.txt" in the text folder (a Windows-style
    // or native name) and, unless noLoad is set, every listed file. 1 when
    // the list was read, 0 when it cannot be opened.
    int Init(const char16_t* folder, int noLoad);
    int LoadTextFiles();
    // The text, or an empty text (never null) when the index or id is out
    // of range or the text is missing. Valid until Release.
    const char16_t* GetText(int fileIndex, int textId) const;
    void Release();

    int GetFileCount() const { return m_fileCount; }
    const std::string& GetFileName(int fileIndex) const;
    int GetTextCount(int fileIndex) const;

    // The list and table parsers over an open reader (Init and
    // LoadTextFiles feed them files).
    void ReadFileList(CMgrTextReader& reader);
    void LoadTable(int fileIndex, CMgrTextReader& reader);

private:
    struct Table {
        std::string fileName;                              // empty: no file
        std::vector<std::unique_ptr<std::u16string>> texts; // null: missing
    };

    int m_fileCount = 0;
    std::string m_folder;  // native
    Table m_tables[kMgrTextMaxFiles];
};

// MgrText::GetText of the registered table; the empty text without one.
const char16_t* GetMgrText(int fileIndex, int textId);
