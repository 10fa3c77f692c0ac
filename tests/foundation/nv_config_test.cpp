#include "foundation/nv_config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/debug_trace.h"
#include "platform/paths.h"
#include "support/killed_child.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

NvString Path(const std::string& native) { return NvString::FromUtf8(native); }

std::string Text(const NvString& s) { return s.ToUtf8(); }

TEST(NvConfigFile, WritesCp949CrLfLinesThatReadBack) {
    TempDir dir;
    NvConfigFile file;
    file.SetFilePath(Path(dir.File("UISetting.ust")));
    file.SetInt(u"nVersion", 3288629);
    file.SetValue(u"Name", u"a=b", kNvConfigTypeString);
    file.SetInt(u"Count", -1);
    file.SetValue(u"City", u"서울", kNvConfigTypeString);
    file.SetValue(u"Odd", u"x", 7);
    ASSERT_EQ(file.Save(), 1) << file.LastError();

    // "서울" is BC AD BF EF in CP949; integers go out unsigned.
    EXPECT_EQ(dir.Read("UISetting.ust"),
              "nVersion|1=3288629\r\nName|2=a=b\r\nCount|1=4294967295\r\nCity|2=\xBC\xAD\xBF\xEF\r\nOdd|7=x\r\n");

    NvConfigFile back;
    ASSERT_EQ(back.Load(Path(dir.File("UISetting.ust"))), 1) << back.LastError();
    int value = 0;
    EXPECT_EQ(back.GetInt(u"NVERSION", &value, 1), 1);
    EXPECT_EQ(value, 3288629);
    EXPECT_EQ(back.GetInt(u"count", &value, 1), 1);
    EXPECT_EQ(value, -1);
    NvString text;
    EXPECT_EQ(back.GetString(u"Name", text, 1), 1);
    EXPECT_EQ(text, u"a=b");
    EXPECT_EQ(back.GetString(u"City", text, 1), 1);
    EXPECT_EQ(text, u"서울");
    EXPECT_EQ(back.HasMissingKey(), 0);
    EXPECT_EQ(back.GetString(u"Absent", text, 0), 0);
    EXPECT_EQ(back.HasMissingKey(), 0);
    EXPECT_EQ(back.GetInt(u"Absent", &value, 1), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(back.HasMissingKey(), 1);

    // Saved again unchanged, byte for byte (type 7 included).
    ASSERT_EQ(back.Save(), 1);
    EXPECT_EQ(dir.Read("UISetting.ust"),
              "nVersion|1=3288629\r\nName|2=a=b\r\nCount|1=4294967295\r\nCity|2=\xBC\xAD\xBF\xEF\r\nOdd|7=x\r\n");
}

TEST(NvConfigFile, FileLackingAKeyIsWrittenAgainWhole) {
    TempDir dir;
    dir.Write("UISetting.ust", "nVersion|1=3288629\r\nZoom|1=5\r\n");
    NvConfigFile file;
    ASSERT_EQ(file.Load(Path(dir.File("UISetting.ust"))), 1);
    int zoom = 0;
    int night = 0;
    file.GetInt(u"Zoom", &zoom, 1);
    if (!file.GetInt(u"NightMode", &night, 1)) night = 2;  // the owner's default
    ASSERT_EQ(file.HasMissingKey(), 1);
    // The owner writes its whole state back at once.
    file.Clear();
    file.SetInt(u"nVersion", 3288629);
    file.SetInt(u"Zoom", zoom);
    file.SetInt(u"NightMode", night);
    ASSERT_EQ(file.Save(), 1);
    EXPECT_EQ(dir.Read("UISetting.ust"), "nVersion|1=3288629\r\nZoom|1=5\r\nNightMode|1=2\r\n");

    // An empty map writes an empty file, which loads.
    file.Clear();
    ASSERT_EQ(file.Save(), 1);
    EXPECT_EQ(dir.Read("UISetting.ust"), "");
    EXPECT_EQ(file.Load(Path(dir.File("UISetting.ust"))), 1);
    EXPECT_EQ(file.GetCount(), 0);
}

TEST(NvConfigMap, LinesParseAsTheyWereWritten) {
    struct Case {
        const char* name;
        std::string bytes;
        const char16_t* key;
        int type;
        const char16_t* value;
    } cases[] = {
        {"integer", "nVersion|1=3\r\n", u"nVersion", 1, u"3"},
        {"value with = and |", "Name|2=a=b|c\r\n", u"Name", 2, u"a=b|c"},
        {"trailing blanks of the key go", "Key  |2=x\r\n", u"Key", 2, u"x"},
        {"leading blank stays", " Lead|2=x\r\n", u" Lead", 2, u"x"},
        {"empty value", "E|2=\r\n", u"E", 2, u""},
        {"LF only", "L|1=5\n", u"L", 1, u"5"},
        {"no line end at the end", "L|1=5", u"L", 1, u"5"},
        {"value keeps its blanks", "V|2= x \r\n", u"V", 2, u" x "},
        {"negative type", "N|-3=q\r\n", u"N", -3, u"q"},
        // The type is the decimal value of its text, as integers are read.
        {"type not a number", "T|x=2\r\n", u"T", 0, u"2"},
        {"type with trailing text", "T|12ab=2\r\n", u"T", 12, u"2"},
        {"value not CP949 reads empty", "V|2=\xBC\r\n", u"V", 2, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NvConfigMap map;
        std::string error;
        ASSERT_EQ(ParseNvConfigBytes(c.bytes, map, &error), NvConfigParseStatus::kOk) << error;
        ASSERT_EQ(map.GetCount(), 1);
        NvString key;
        NvString value;
        int type = 0;
        ASSERT_EQ(map.GetAt(0, &key, &type, &value, nullptr, 0), 1);
        EXPECT_EQ(key, c.key);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(value, c.value);
    }
}

TEST(NvConfigMap, DamagedLinesAreReportedAndEarlierKeysStay) {
    struct Case {
        const char* name;
        std::string bytes;
        NvConfigParseStatus status;
    } cases[] = {
        {"no bar", "a|1=1\r\nnokey\r\n", NvConfigParseStatus::kMalformed},
        {"empty key", "a|1=1\r\n|1=2\r\n", NvConfigParseStatus::kMalformed},
        {"empty line", "a|1=1\r\n\r\n", NvConfigParseStatus::kMalformed},
        {"no =", "a|1=1\r\nb|1\r\n", NvConfigParseStatus::kMalformed},
        {"type empty", "a|1=1\r\nb|=2\r\n", NvConfigParseStatus::kMalformed},
        {"NUL byte", std::string("a|1=1\r\nb|2=x\0y\r\n", 16), NvConfigParseStatus::kMalformed},
        {"line over 1022 bytes", "a|1=1\r\nb|2=" + std::string(1018, 'x') + "\r\n",
         NvConfigParseStatus::kLineTooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NvConfigMap map;
        std::string error;
        EXPECT_EQ(ParseNvConfigBytes(c.bytes, map, &error), c.status);
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
        int value = 0;
        EXPECT_EQ(map.GetInt(u"a", &value), 1);
        EXPECT_EQ(value, 1);
    }
    // The longest line that still reads: 1021 bytes and its line end.
    NvConfigMap map;
    EXPECT_EQ(ParseNvConfigBytes("b|2=" + std::string(1017, 'x') + "\r\n", map), NvConfigParseStatus::kOk);
}

TEST(NvConfigMap, TextThatIsNotCp949LosesOnlyItsOwnLine) {
    // "\xBC" alone is half a Hangul syllable; "\xFF\xFF" is no CP949 at all.
    NvConfigMap map;
    ASSERT_EQ(ParseNvConfigBytes("a|1=1\r\nb|2=\xBC\r\n\xFF\xFF|2=x\r\nc|2=\xBC\xAD\r\nd|1=4\r\n", map),
              NvConfigParseStatus::kOk);
    NvString text;
    EXPECT_EQ(map.GetValue(u"b", text), 1);
    EXPECT_EQ(text, u"");
    EXPECT_EQ(map.GetValue(u"c", text), 1);
    EXPECT_EQ(text, u"서");
    int value = 0;
    EXPECT_EQ(map.GetInt(u"a", &value), 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(map.GetInt(u"d", &value), 1);
    EXPECT_EQ(value, 4);
    EXPECT_EQ(map.GetCount(), 4);  // the key that is not text is skipped
}

TEST(NvConfigMap, KeysIgnoreCaseAndKeepTheirFirstPosition) {
    // Keys go in backwards so that insertion order and key order differ.
    NvConfigMap map;
    for (int i = 0; i < 30; ++i) {
        const int n = 29 - i;
        ASSERT_EQ(map.SetInt(NvString::FromUtf8(std::string("Key") + char('0' + n / 10) + char('0' + n % 10)), i), 1);
    }
    ASSERT_EQ(map.GetCount(), 30);
    ASSERT_EQ(map.SetValue(u"KEY22", u"replaced", kNvConfigTypeString), 1);  // "Key22" went in 8th
    ASSERT_EQ(map.SetInt(u"New", 5), 1);
    EXPECT_EQ(map.GetCount(), 31);

    std::string bytes;
    ASSERT_TRUE(FormatNvConfigBytes(map, bytes));
    NvConfigMap back;
    ASSERT_EQ(ParseNvConfigBytes(bytes, back), NvConfigParseStatus::kOk);
    for (int i = 0; i < back.GetCount(); ++i) {
        NvString a, b;
        map.GetAt(i, &a, nullptr, nullptr, nullptr, 0);
        back.GetAt(i, &b, nullptr, nullptr, nullptr, 0);
        EXPECT_EQ(a, b) << "line " << i;
    }
    NvString key;
    int type = 0;
    NvString text;
    back.GetAt(30, &key, &type, &text, nullptr, 0);
    EXPECT_EQ(key, u"New");
    back.GetAt(7, &key, &type, &text, nullptr, 0);
    EXPECT_EQ(key, u"Key22");
    EXPECT_EQ(type, 2);
    EXPECT_EQ(text, u"replaced");

    // Sorted access walks the keys in case-blind order.
    NvString previous;
    for (int i = 0; i < back.GetCount(); ++i) {
        back.GetAt(i, &key, nullptr, nullptr, nullptr, 1);
        if (i > 0) {
            EXPECT_LT(previous.CompareNoCase(key), 0) << Text(previous) << " " << Text(key);
        }
        previous = key;
    }
    // An integer output takes type-1 entries as numbers.
    int value = 0;
    EXPECT_EQ(back.GetAt(30, &key, &type, &text, &value, 0), 1);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(back.GetAt(31, &key, &type, &text, &value, 0), 0);
    EXPECT_EQ(key.GetLength(), 0);
    EXPECT_EQ(value, 0);

    int position = -1;
    EXPECT_EQ(back.FindKey(u"KEY05", &position), 1);
    EXPECT_EQ(back.FindKey(u"Key05x", &position), 0);
    EXPECT_EQ(position, 6);
    back.RemoveAll();
    EXPECT_EQ(back.GetCount(), 0);
}

// Keys sharing long prefixes, differing in case, one a prefix of another,
// put in and looked up in every order: each look-up must agree with a
// sorted table of the case-folded keys (found, and where the key is or
// would go), and the sorted index must stay in that order.
TEST(NvConfigMap, LookUpsAgreeWithASortedTableInAnyOrder) {
    auto fold = [](std::u16string_view key) {
        std::u16string folded(key);
        for (char16_t& c : folded) c = NvFoldCase(c);
        return folded;
    };
    std::vector<std::u16string> keys;
    for (const char16_t* stem : {u"lCoursePosInfo", u"LCOURSEposINFO", u"Routed.lCoursePosInfo", u"a", u"\u0100\u03A3"}) {
        for (const char16_t* number : {u"000", u"001", u"010", u"0100"}) {
            for (const char16_t* field : {u"", u".x", u".X", u".PosInfo.szName", u".ePositionType", u".\u0101\u03C3"})
                keys.push_back(std::u16string(stem) + number + field);
        }
    }
    std::vector<std::u16string> probes = keys;
    for (const char16_t* absent : {u"", u"b", u"lCoursePosInfo0", u"lCoursePosInfo001.y", u"lCoursePosInfo001.PosInfo",
                                   u"Routed.lCoursePosInfo0100.x.", u"\uFFFF", u"A"})
        probes.push_back(absent);

    std::mt19937 random(7);
    struct Order {
        const char* name;
        std::function<void(std::vector<std::u16string>&)> arrange;
    } orders[] = {
        {"as listed", [](std::vector<std::u16string>&) {}},
        {"ascending", [&](std::vector<std::u16string>& v) {
             std::stable_sort(v.begin(), v.end(), [&](const auto& a, const auto& b) { return fold(a) < fold(b); });
         }},
        {"descending", [&](std::vector<std::u16string>& v) {
             std::stable_sort(v.begin(), v.end(), [&](const auto& a, const auto& b) { return fold(b) < fold(a); });
         }},
        {"shuffled", [&](std::vector<std::u16string>& v) { std::shuffle(v.begin(), v.end(), random); }},
    };
    for (const Order& putOrder : orders) {
        for (const Order& askOrder : orders) {
            SCOPED_TRACE(std::string("put ") + putOrder.name + ", asked " + askOrder.name);
            std::vector<std::u16string> put = keys;
            putOrder.arrange(put);
            NvConfigMap map;
            std::vector<std::u16string> table;   // folded, sorted, unique: the expected index
            for (const std::u16string& key : put) {
                ASSERT_EQ(map.SetValue(key.c_str(), u"v", kNvConfigTypeString), 1);
                const std::u16string folded = fold(key);
                const auto at = std::lower_bound(table.begin(), table.end(), folded);
                if (at == table.end() || *at != folded) table.insert(at, folded);
            }
            ASSERT_EQ(map.GetCount(), static_cast<int>(table.size()));
            for (int i = 0; i < map.GetCount(); ++i) {
                NvString key;
                map.GetAt(i, &key, nullptr, nullptr, nullptr, 1);
                EXPECT_EQ(fold(key.View()), table[static_cast<size_t>(i)]) << "sorted position " << i;
            }
            std::vector<std::u16string> asked = probes;
            askOrder.arrange(asked);
            const NvConfigMap copy = map;
            for (const NvConfigMap* m : {static_cast<const NvConfigMap*>(&map), &copy}) {
                for (int pass = 0; pass < 2; ++pass) {   // the second pass asks each key twice in a row
                    for (const std::u16string& probe : asked) {
                        const std::u16string folded = fold(probe);
                        const auto at = std::lower_bound(table.begin(), table.end(), folded);
                        const int expectedFound = at != table.end() && *at == folded ? 1 : 0;
                        for (int repeat = 0; repeat <= pass; ++repeat) {
                            int position = -1;
                            EXPECT_EQ(m->FindKey(probe.c_str(), &position), expectedFound) << NvString(probe).ToUtf8();
                            EXPECT_EQ(position, at - table.begin()) << NvString(probe).ToUtf8();
                        }
                    }
                }
            }
        }
    }
}

TEST(NvConfigMap, RefusesTextThatWouldNotReadBack) {
    NvConfigMap map;
    EXPECT_EQ(map.SetValue(u"", u"x", 2), 0);
    EXPECT_EQ(map.SetValue(u"a|b", u"x", 2), 0);
    EXPECT_EQ(map.SetValue(u"a\rb", u"x", 2), 0);
    EXPECT_EQ(map.SetValue(u"ab\n", u"x", 2), 0);
    EXPECT_EQ(map.SetValue(u"a", u"line\r\nbreak", 2), 0);
    EXPECT_EQ(map.SetValue(NvString(std::u16string_view(u"a\0b", 3)), NvString(u"x"), 2), 0);
    EXPECT_EQ(map.GetCount(), 0);
}

// A character that would not read back is refused wherever it stands in a
// key or value (the text is searched several units at a time).
TEST(NvConfigMap, RefusesAStopCharacterAtEveryPosition) {
    NvConfigMap map;
    for (size_t length = 1; length <= 11; ++length) {
        const std::u16string plain(length, u'k');
        ASSERT_EQ(map.SetValue(std::u16string_view(plain), std::u16string_view(plain), 2), 1) << length;
        for (size_t at = 0; at < length; ++at) {
            for (const char16_t stop : {u'|', u'\r', u'\n', u'\0'}) {
                std::u16string text = plain;
                text[at] = stop;
                EXPECT_EQ(map.SetValue(std::u16string_view(text), u"v", 2), 0) << length << " " << at << " " << int(stop);
                // "|" is a value's own character; CR, LF and NUL are not.
                EXPECT_EQ(map.SetValue(u"key", std::u16string_view(text), 2), stop == u'|' ? 1 : 0)
                    << length << " " << at << " " << int(stop);
            }
        }
    }
    EXPECT_EQ(map.GetCount(), 12);
}

// Values replaced again and again by longer and shorter ones, and text
// taken from the map itself, leave every entry as last set, also after the
// space the old values took is given back.
TEST(NvConfigMap, ReplacedValuesAndTextFromTheMapItself) {
    NvConfigMap map;
    std::vector<std::u16string> keys;
    std::vector<std::u16string> values;
    for (int i = 0; i < 40; ++i) {
        keys.push_back(u"Entry" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                       std::u16string(1, static_cast<char16_t>(u'a' + i / 26)));
        values.push_back(u"v");
        ASSERT_EQ(map.SetValue(std::u16string_view(keys.back()), u"v", 2), 1);
    }
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const size_t i = random() % keys.size();
        values[i] = std::u16string(random() % 200, static_cast<char16_t>(u'a' + round % 26));
        ASSERT_EQ(map.SetValue(std::u16string_view(keys[i]), std::u16string_view(values[i]), 2), 1);
    }
    // A key and a value handed back by the map, set on other entries.
    ASSERT_EQ(map.SetValue(map.KeyAt(3), map.ValueAt(5), 2), 1);
    values[3] = values[5];
    ASSERT_EQ(map.SetValue(u"Copy", map.ValueAt(7), 2), 1);
    keys.push_back(u"Copy");
    values.push_back(values[7]);

    ASSERT_EQ(map.GetCount(), static_cast<int>(keys.size()));
    std::string bytes;
    ASSERT_TRUE(FormatNvConfigBytes(map, bytes));
    NvConfigMap back;
    ASSERT_EQ(ParseNvConfigBytes(bytes, back), NvConfigParseStatus::kOk);
    for (size_t i = 0; i < keys.size(); ++i) {
        for (const NvConfigMap* m : {&map, &back}) {
            EXPECT_EQ(m->KeyAt(static_cast<int>(i)), keys[i]);
            EXPECT_EQ(m->ValueAt(static_cast<int>(i)), values[i]) << "entry " << i;
            NvString value;
            EXPECT_EQ(m->GetValue(keys[i].c_str(), value), 1);
            EXPECT_EQ(value.View(), values[i]);
        }
    }
    // Look-ups out of order and in another case find their own entries.
    for (int round = 0; round < 200; ++round) {
        const size_t i = random() % keys.size();
        std::u16string upper = keys[i];
        for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
        std::u16string_view value;
        EXPECT_EQ(back.GetValue((round % 2 ? upper : keys[i]).c_str(), value), 1);
        EXPECT_EQ(value, values[i]) << "entry " << i;
    }
    std::u16string_view none = u"x";
    EXPECT_EQ(back.GetValue(u"EntryZz", none), 0);
    EXPECT_EQ(none, u"");
    EXPECT_EQ(map.KeyAt(-1), u"");
    EXPECT_EQ(map.ValueAt(static_cast<int>(keys.size())), u"");
    EXPECT_EQ(map.TypeAt(static_cast<int>(keys.size())), 0);
}

TEST(NvConfigMap, IntegersRoundTripThroughTheirUnsignedText) {
    struct Case {
        const char16_t* text;
        int value;
    } cases[] = {
        {u"3", 3}, {u"-5", -5}, {u"4294967295", -1}, {u"2147483648", INT_MIN}, {u"2147483647", INT_MAX},
        {u"", 0}, {u"12abc", 12}, {u"99999999999", -1}, {u"-99999999999", INT_MIN}, {u" +7", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(NvString(c.text).ToUtf8());
        EXPECT_EQ(NvConfigMap::ParseInt(c.text), c.value);
    }
    for (int v : {0, 1, -1, INT_MIN, INT_MAX, 841887792}) {
        NvConfigMap map;
        map.SetInt(u"v", v);
        int back = 0;
        map.GetInt(u"v", &back);
        EXPECT_EQ(back, v);
    }
}

TEST(NvConfigFile, SaveCreatesMissingFoldersAndKeepsTheOldFileOnFailure) {
    TempDir dir;
    NvConfigFile file;
    file.SetFilePath(Path(dir.Path() + "\\A\\B\\C\\RegDest.udt"));
    file.SetInt(u"nVersion", 841887792);
    ASSERT_EQ(file.Save(), 1) << file.LastError();
    EXPECT_EQ(dir.Read("A/B/C/RegDest.udt"), "nVersion|1=841887792\r\n");

    // Entries that would not load back as they are: nothing is written.
    // "Name|2=" is 7 bytes, so a value of 1014 bytes makes the longest line
    // the reader takes (1021 bytes and its line end); a Hangul syllable is
    // two bytes.
    struct Refused {
        const char* what;
        std::u16string key;
        std::u16string value;
    } const refused[] = {
        {"no CP949 form", u"Name", u"\U0001F600"},
        {"key ending in a blank", u"Name ", u"x"},
        {"line over the read limit", u"Name", std::u16string(1015, u'x')},
        {"line over the read limit in CP949 bytes", u"Name", std::u16string(508, u'한')},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        NvConfigFile bad;
        bad.SetFilePath(file.GetFilePath());
        bad.SetInt(u"nVersion", 1);
        ASSERT_EQ(bad.SetValue(r.key.c_str(), r.value.c_str(), kNvConfigTypeString), 1);
        EXPECT_EQ(bad.Save(), 0);
        EXPECT_EQ(dir.Read("A/B/C/RegDest.udt"), "nVersion|1=841887792\r\n");
    }
    // The longest line that reads back is saved and loads the same.
    for (const std::u16string& value : {std::u16string(1014, u'x'), std::u16string(507, u'한')}) {
        NvConfigFile longest;
        longest.SetFilePath(Path(dir.File("long.udt")));
        longest.SetValue(u"Name", value.c_str(), kNvConfigTypeString);
        ASSERT_EQ(longest.Save(), 1);
        NvConfigFile back;
        ASSERT_EQ(back.Load(longest.GetFilePath()), 1) << back.LastError();
        NvString text;
        back.GetString(u"Name", text, 1);
        EXPECT_EQ(text, value);
    }

    // A file where a folder should be.
    dir.Write("F", "x");
    NvConfigFile blocked;
    blocked.SetFilePath(Path(dir.Path() + "/F/G/x.udt"));
    EXPECT_EQ(blocked.Save(), 0);
    EXPECT_EQ(NvConfigFile::CreateFolderPath(Path(dir.Path() + "/F/G/x.udt")), 0);
}

TEST(NvConfigFile, ImportsOldUntypedLines) {
    TempDir dir;
    dir.Write("old.ini", "Old=1\r\n=skipped\r\nnoequals\r\nName =a=b\n");
    NvConfigFile file;
    file.SetFilePath(Path(dir.File("old.ini")));
    ASSERT_EQ(file.ParseKeyValue(1), 1);
    EXPECT_EQ(file.GetCount(), 2);
    NvString key, value;
    int type = -1;
    file.GetAt(1, &key, &type, &value, nullptr, 0);
    EXPECT_EQ(key, u"Name");
    EXPECT_EQ(type, 0);
    EXPECT_EQ(value, u"a=b");
    NvConfigFile missing;
    missing.SetFilePath(Path(dir.File("none.ini")));
    EXPECT_EQ(missing.ParseKeyValue(1), 0);
}

TEST(NvFilePath, NamesTheSettingsFiles) {
    NvFilePath::SetFolders(u"R\\User\\Navi\\Config", u"R");
    NvFilePath path;
    struct Case {
        int type;
        int withFolder;
        const char16_t* name;
    } cases[] = {
        {0, 1, u"R\\User\\Navi\\Config\\Navi.gdt"},   {0, 0, u"\\Navi.gdt"},
        {1, 1, u"R\\CourseCurrent.idt"},               {2, 1, u"R\\User\\Navi\\Config\\UISetting.ust"},
        {3, 0, u"\\MapSetting.ust"},                   {4, 0, u"\\RecentDest.udt"},
        {5, 0, u"\\MyTheme.udt"},                      {6, 0, u"\\RegDest.udt"},
        {7, 0, u"\\RepeatDest.udt"},                   {8, 0, u"\\RegSafeDest.udt"},
        {9, 0, u"\\RegCourse.udt"},                    {10, 0, u"\\UIDlgInfo.udt"},
        {11, 1, u"R\\User\\Navi\\Config\\QuickMenu.udt"}, {12, 1, u"R\\User\\Navi\\Config"},
        {12, 0, u""},                                  {-1, 1, u"R\\User\\Navi\\Config"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(path.GetSettingsFileName(c.type, c.withFolder), c.name);
    }
    NvFilePath::SetFolders(NvString(), NvString());
    EXPECT_EQ(NvConfigFile::ErrorFileName(u"C:\\a.b\\RecentDest.udt"), u"C:\\a.b\\RecentDest.err");
    EXPECT_EQ(NvConfigFile::ErrorFileName(u"/x.d/Data"), u"/x.d/Data.err");
}

// A store that keeps its settings the way every settings object does: a
// file that does not parse is set aside and the defaults are written; a
// key that is missing (a file from an older version) takes its default and
// the file is written again complete, with nothing set aside.
struct DemoStore {
    static constexpr int kVersion = 841887792;
    int version = 0;
    NvString name;

    int Load(const NvString& path) {
        version = kVersion;
        name = u"default";
        NvConfigFile file;
        if (!file.Load(path)) {
            Save(path);
            return 0;
        }
        int v = 0;
        NvString n;
        if (file.GetInt(u"nVersion", &v, 1)) version = v;
        if (file.GetString(u"Name", n, 1)) name = n;
        if (file.HasMissingKey()) Save(path);
        return 1;
    }
    int Save(const NvString& path) const {
        NvConfigFile file;
        file.SetFilePath(path);
        file.SetInt(u"nVersion", version);
        file.SetValue(u"Name", name.GetData(), kNvConfigTypeString);
        return file.Save();
    }
};

class DamagedFile : public ::testing::Test {
protected:
    void SetUp() override {
        TakeSettingsFileErrorCount();
        SetDebugTraceSink([](std::string_view) {}, false);
    }
    void TearDown() override { SetDebugTraceSink(nullptr); }
    TempDir m_dir;
};

TEST_F(DamagedFile, OnlyAFileThatDoesNotParseIsSetAside) {
    const std::string good = "nVersion|1=841887792\r\nName|2=home\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        int loads;                // 0: set aside, the defaults written
        const char16_t* kept;     // the name afterwards
        std::string fileAfter;
    } cases[] = {
        {"over-long line", "nVersion|1=841887792\r\nName|2=" + std::string(1100, 'x') + "\r\n", 0, u"default",
         "nVersion|1=841887792\r\nName|2=default\r\n"},
        {"truncated", good.substr(0, 25), 0, u"default", "nVersion|1=841887792\r\nName|2=default\r\n"},
        {"missing nVersion", "Name|2=home\r\n", 1, u"home", "nVersion|1=841887792\r\nName|2=home\r\n"},
        {"missing Name", "nVersion|1=7\r\n", 1, u"default", "nVersion|1=7\r\nName|2=default\r\n"},
        {"type not a number", "nVersion|one=841887792\r\nName|2=home\r\n", 1, u"home",
         "nVersion|one=841887792\r\nName|2=home\r\n"},
        {"value not CP949", "nVersion|1=841887792\r\nName|2=\xFF\xFE\r\n", 1, u"",
         "nVersion|1=841887792\r\nName|2=\xFF\xFE\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_dir.Write("Config/RecentDest.udt", c.bytes);
        std::filesystem::remove(m_dir.File("Config/RecentDest.err"));
        const NvString path = Path(m_dir.Path() + "\\Config\\RecentDest.udt");
        DemoStore store;
        EXPECT_EQ(store.Load(path), c.loads);
        EXPECT_EQ(store.name, c.kept);
        EXPECT_EQ(m_dir.Read("Config/RecentDest.udt"), c.fileAfter);
        if (c.loads) {
            EXPECT_FALSE(platform::FileExists(m_dir.File("Config/RecentDest.err")));
            EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
        } else {
            EXPECT_EQ(m_dir.Read("Config/RecentDest.err"), c.bytes);  // the damaged bytes are kept
            EXPECT_EQ(TakeSettingsFileErrorCount(), 1);
            EXPECT_EQ(GetSettingsFileErrorCount(), 0);
        }
    }
    EXPECT_EQ(std::u16string(kSettingsFileErrorMessage), u"사용자 설정 파일에 오류가 발생되어\n초기값으로 사용합니다.");

    // A missing file is no error.
    DemoStore store;
    EXPECT_EQ(store.Load(Path(m_dir.File("Config/None.udt"))), 0);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
    EXPECT_FALSE(platform::FileExists(m_dir.File("Config/None.err")));
}

TEST_F(DamagedFile, StaysInPlaceWhenItCannotBeSetAside) {
    const std::string damaged = "nVersion|1=841887792\r\nName|2\r\n";
    m_dir.Write("RegDest.udt", damaged);
    m_dir.Write("RegDest.err/keep", "a folder where the err copy would go");
    const NvString path = Path(m_dir.File("RegDest.udt"));
    DemoStore store;
    EXPECT_EQ(store.Load(path), 0);
    EXPECT_EQ(store.name, u"default");
    EXPECT_EQ(m_dir.Read("RegDest.udt"), damaged);
    EXPECT_EQ(store.Save(path), 0);
    EXPECT_EQ(store.Load(path), 0);  // a second try counts no second error
    EXPECT_EQ(m_dir.Read("RegDest.udt"), damaged);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 1);

    // Once the way is clear the file is set aside and saving works again.
    std::filesystem::remove_all(m_dir.File("RegDest.err"));
    EXPECT_EQ(NvConfigFile::BackupErrorFile(path), 1);
    EXPECT_EQ(m_dir.Read("RegDest.err"), damaged);
    EXPECT_EQ(store.Save(path), 1);
    EXPECT_EQ(TakeSettingsFileErrorCount(), 1);
}

TEST_F(DamagedFile, ReadOnlyContentIsNeverMoved) {
    m_dir.Write("UI/Data.ini", "EXTENDWAVE|1=1\r\nbroken\r\n");
    NvConfigFile file;
    file.SetReadOnly(true);
    EXPECT_EQ(file.Load(Path(m_dir.Path() + "\\UI\\Data.ini")), 0);
    int value = 0;
    EXPECT_EQ(file.GetInt(u"EXTENDWAVE", &value, 1), 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(file.Save(), 0);
    EXPECT_EQ(m_dir.Read("UI/Data.ini"), "EXTENDWAVE|1=1\r\nbroken\r\n");
    EXPECT_EQ(TakeSettingsFileErrorCount(), 0);
}

// Power cut: a child saves two contents in turn and is killed at random
// moments; every time the file must load as one of them, whole.
TEST(NvConfigFilePowerCut, FileIsAlwaysTheOldOrTheNewContent) {
    TempDir dir;
    const NvString path = Path(dir.File("Config/RegCourse.udt"));
    NvConfigFile small;
    NvConfigFile large;
    small.SetFilePath(path);
    large.SetFilePath(path);
    for (int i = 0; i < 40; ++i) small.SetInt(NvString::FromUtf8("Small" + std::to_string(i)), i);
    for (int i = 0; i < 400; ++i) large.SetValue(NvString::FromUtf8("Large" + std::to_string(i)), u"경로", 2);
    std::string smallBytes, largeBytes;
    ASSERT_TRUE(FormatNvConfigBytes(small, smallBytes));
    ASSERT_TRUE(FormatNvConfigBytes(large, largeBytes));
    ASSERT_EQ(small.Save(), 1);

    std::mt19937 random(12345);
    // Killed at a random point of the child's own round of saves (large,
    // then small), whatever the disk's speed.
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    int seenSmall = 0;
    int seenLarge = 0;
    constexpr int kRounds = 100;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_TRUE(testsupport::KillChildPartWayThroughARound(
            [&](const std::function<void()>& stepDone) {
                for (;;) {
                    small.Save();
                    stepDone();
                    large.Save();
                    stepDone();
                }
            },
            2, fraction(random)));

        const std::string bytes = dir.Read("Config/RegCourse.udt");
        ASSERT_TRUE(bytes == smallBytes || bytes == largeBytes) << "round " << round << ": " << bytes.size() << " bytes";
        seenSmall += bytes == smallBytes;
        seenLarge += bytes == largeBytes;
        NvConfigFile check;
        ASSERT_EQ(check.Load(path), 1) << check.LastError();
        ASSERT_EQ(check.GetCount(), bytes == smallBytes ? 40 : 400);
    }
    RecordProperty("old_or_new", std::to_string(seenSmall) + "/" + std::to_string(seenLarge));
    EXPECT_GT(seenSmall, 0);
    EXPECT_GT(seenLarge, 0);
    EXPECT_EQ(GetSettingsFileErrorCount(), 0);
}

}  // namespace
