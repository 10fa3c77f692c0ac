// The demo vocabulary: a clip for every id the sentence builder and the
// shell's prompts speak, a base bank of the current form, and every bank
// mixing the three codecs.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "guidance/wave_bank.h"
#include "platform/file_io.h"
#include "support/source_dir.h"
#include "tools/writers/voice_bank_writer.h"

namespace {

std::map<uint32_t, writers::VocabularyEntry> DemoVocabulary() {
    std::vector<uint8_t> bytes;
    std::vector<writers::VocabularyEntry> entries;
    std::string error;
    EXPECT_TRUE(platform::ReadWholeFile(testsupport::SourceFile("tools/demo_voice/vocabulary.txt"), bytes, &error));
    EXPECT_TRUE(writers::ParseVocabulary(std::string(bytes.begin(), bytes.end()), entries, &error)) << error;
    std::map<uint32_t, writers::VocabularyEntry> out;
    for (const auto& e : entries) out[e.id] = e;
    return out;
}

TEST(VoiceVocabulary, CoversEveryIdTheGuidanceSpeaks) {
    const auto vocabulary = DemoVocabulary();
    struct Range { const char* what; uint32_t first, last; } ranges[] = {
        {"distances, set A", 544, 608}, {"distances, set B", 609, 673}, {"distances, set C", 674, 738},
        {"distances 4.5 km to 500 km", 739, 880}, {"long distances 50-100 km", 959, 1009},
        {"long distances 1-50 km", 1050, 1099}, {"speed limits", 383, 392}, {"price words", 1219, 1245},
        {"prices", 1253, 1300}, {"high-pass lane numbers", 1901, 1920}, {"via points", 295, 312},
        {"lane calls", 431, 440},
    };
    for (const Range& r : ranges)
        for (uint32_t id = r.first; id <= r.last; ++id) EXPECT_TRUE(vocabulary.count(id)) << r.what << ": " << id;
    const uint32_t single[] = {
        // turn phrases
        201, 202, 203, 204, 205, 206, 208, 210, 212, 214, 215, 216, 218, 219, 220, 221, 222, 223, 224, 225, 226,
        227, 228, 229, 231, 232, 233, 235, 238, 243, 244, 245, 246, 249, 250, 251, 253, 254, 255, 260, 261, 262,
        263, 264, 265, 266, 267, 268, 269, 270, 271, 280, 281, 282, 283, 284, 286, 287, 288, 290, 291, 293, 318,
        319, 320, 408, 409, 419, 458, 459, 460, 461, 1545, 1546, 446, 447, 448, 492, 493, 494,
        // connectives, ramps, junctions
        519, 520, 521, 522, 531, 532, 540, 541, 542, 543, 230, 234, 18, 1321, 1323, 1314, 1322, 1518, 20,
        // tolls and lanes
        524, 423, 427, 538, 1317, 420, 1318, 479, 2001, 2004, 2008, 1508, 424,
        // rest areas
        517, 518, 421, 422, 463,
        // cameras
        3, 4, 5, 6, 7, 341, 357, 467, 468, 469, 470, 487, 366, 368, 466, 371, 1309, 1304, 1305, 1306, 369, 1303,
        1308, 363, 364, 361, 360, 354, 346, 349, 358, 324, 362, 344, 1310,
        // the shell's prompts and greetings
        10, 15, 471, 476, 477, 484, 505, 1549, 1550, 1533, 1538, 1539, 1504, 1522,
    };
    for (uint32_t id : single) EXPECT_TRUE(vocabulary.count(id)) << id;
}

TEST(VoiceVocabulary, BanksHaveTheCurrentFormAndMixTheCodecs) {
    const auto vocabulary = DemoVocabulary();
    size_t base = 0;
    std::set<uint32_t> codecs[3];
    for (const auto& [id, e] : vocabulary) {
        const int bank = MgrWaveBankSet::BankOf(id);
        base += bank == 1;
        codecs[bank].insert(e.codec);
        EXPECT_FALSE(e.text.empty()) << id;
    }
    EXPECT_GE(base, kWaveBaseCurrentEntries);
    for (int bank = 0; bank < 3; ++bank) EXPECT_EQ(codecs[bank].size(), 3u) << "bank " << bank;
}

TEST(VoiceVocabulary, MalformedLinesAreNamed) {
    struct Case { const char* text; bool ok; } cases[] = {
        {"# comment\n\n12\t1\t좌회전\n", true}, {"12\t3\t좌회전\n", false}, {"12\t1\n", false},
        {"x\t1\t좌회전\n", false}, {"12\t1\t좌회전\n12\t2\t우회전\n", false}, {"12\t1\t좌회전\r\n", true},
    };
    for (const auto& c : cases) {
        std::vector<writers::VocabularyEntry> out;
        std::string error;
        EXPECT_EQ(writers::ParseVocabulary(c.text, out, &error), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_NE(error.find("line"), std::string::npos);
        }
    }
}

}  // namespace
