// Writes the three voice banks of a map folder from a vocabulary table.
// Usage: voice_bank_writer --vocabulary FILE --out MAPFOLDER [--cache DIR]
// The table has one clip a line: "id<TAB>codec<TAB>Korean text" (codec 0 raw
// PCM, 1 speech frames, 2 Ogg Vorbis); each text is spoken by espeak-ng.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "tools/writers/voice_bank_writer.h"

int main(int argc, char** argv) {
    std::string vocabularyPath, out, cache;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--vocabulary")) vocabularyPath = argv[i + 1];
        else if (!std::strcmp(argv[i], "--out")) out = argv[i + 1];
        else if (!std::strcmp(argv[i], "--cache")) cache = argv[i + 1];
    }
    if (vocabularyPath.empty() || out.empty()) {
        std::fprintf(stderr, "usage: voice_bank_writer --vocabulary FILE --out MAPFOLDER [--cache DIR]\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    std::vector<writers::VocabularyEntry> vocabulary;
    if (!platform::ReadWholeFile(vocabularyPath, bytes, &error) ||
        !writers::ParseVocabulary(std::string(bytes.begin(), bytes.end()), vocabulary, &error) ||
        !writers::WriteVoiceBanksFromVocabulary(vocabulary, out, cache, &error)) {
        std::fprintf(stderr, "voice_bank_writer: %s\n", error.c_str());
        return 1;
    }
    std::printf("{\"clips\":%zu,\"out\":\"%s\"}\n", vocabulary.size(), out.c_str());
    return 0;
}
