// The name files from untrusted bytes: the first byte picks the kind (bits
// 0-1) and the file of that kind (bits 2-4: base, pairs, initials, by area,
// full, POI ids, details); the rest replaces that file of an engine that
// otherwise reads the demo district's files. Every routine runs over it
// with a few keywords and filters, and rows are read back.
//
// One engine per kind lives across inputs; the input reaches it as a file
// in memory (a file of the in-memory file system handed to the engine in
// place of the stored one), and the stored file goes back in afterwards.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "platform/file_io.h"
#include "search/name_search.h"
#include "tools/writers/search_db_writer.h"

namespace {

struct Folder {
    std::string path;
};

const Folder& DemoFolder() {
    static const Folder folder = [] {
        fuzzsupport::SilenceTrace();
        Folder f;
        f.path = fuzzsupport::MakeMemoryFolder("search_name_files_fuzz") + "/";
        const writers::SearchDbSource source = writers::DemoSearchSource();
        const std::vector<writers::SearchPoi>* kinds[3] = {&source.pois, &source.corps, &source.apts};
        for (uint32_t kind = 0; kind < 3; ++kind)
            for (auto& [name, bytes] : writers::BuildNameFiles(*kinds[kind], kind))
                fuzzsupport::WriteBytes(f.path + name, bytes);
        return f;
    }();
    return folder;
}

NcSearchMain& Engine(uint32_t kind) {
    static NcSearchMain* engines = [] {
        const Folder& folder = DemoFolder();
        auto* e = new NcSearchMain[3];
        for (uint32_t k = 0; k < 3; ++k) {
            e[k].SetFolder(folder.path);
            e[k].OpenNameFiles(k);
            e[k].OpenDetailFiles();
        }
        return e;
    }();
    return engines[kind];
}

// The in-memory file the inputs are written to; a path opens it again.
const std::string& InputPath() {
    static const std::string path = fuzzsupport::MakeMemoryFolder("search_name_files_input") + "/input";
    return path;
}

platform::File OpenFile(const std::string& path) {
    platform::File f;
    if (!f.Open(path)) std::abort();
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folder& folder = DemoFolder();
    if (size < 1 || size > (1u << 16)) return 0;
    const uint32_t kind = (data[0] & 3) % 3;
    const int which = (data[0] >> 2) & 7;
    std::string name = which < 5 ? NameFileNames(kind)[which] : which == 5 ? "sch_poi_idx.sdb" : "poi_detail.sdb";
    fuzzsupport::WriteBytes(InputPath(), data + 1, size - 1);
    NcSearchMain& engine = Engine(kind);
    if (engine.UseFile(name, OpenFile(InputPath()))) {
        struct Job {
            const char* keywordUtf8;
            NameRoutine routine;
        };
        static const Job kJobs[] = {
            {"ㄱ", NameRoutine::kSingleChar},     {"가람", NameRoutine::kNameRange},
            {"ㄱㄹ", NameRoutine::kConsonantRange}, {"ㄱㄹㄹ", NameRoutine::kConsonant},
            {"가ㄹ", NameRoutine::kHonhapRange},   {"ㄱ람", NameRoutine::kHonhapFirstCh},
            {"가ㄹ로", NameRoutine::kHonhap},      {"가람로", NameRoutine::kFullName},
            {"로카페", NameRoutine::kFullText},    {"ㅁㅇ", NameRoutine::kAptName},
        };
        static const std::vector<std::string> kKeywords = [] {
            std::vector<std::string> out;
            for (const Job& j : kJobs) {
                std::string cp949;
                platform::Utf16ToCp949(platform::Utf8ToUtf16(j.keywordUtf8), cp949);
                out.push_back(cp949);
            }
            return out;
        }();
        NameFilter filter;
        if (size > 1 && (data[1] & 1)) filter.areaCode = 1030;
        if (size > 1 && (data[1] & 2)) filter.cateIndex = 3;
        for (size_t i = 0; i < kKeywords.size(); ++i) {
            engine.SetJob(kKeywords[i], filter, 0);
            engine.Run(kJobs[i].routine);
            const uint32_t n = engine.ShortPath() ? engine.RangeCount() : static_cast<uint32_t>(engine.Hits().size());
            for (uint32_t k = 0; k < n && k < 4; ++k) {
                const uint32_t record = engine.ShortPath() ? engine.RangeRecord(k) : engine.Hits()[k].nRecord;
                PoiBaseRecord r;
                engine.ReadRecord(record, r);
                engine.ReadName(record);
                engine.GetMainName(r.nPOIID);
                uint8_t detailKind = 0;
                int16_t dx = 0, dy = 0;
                std::string text;
                engine.GetDetail(record, detailKind, dx, dy, text);
            }
        }
    }
    engine.UseFile(name, OpenFile(folder.path + name));
    return 0;
}
