// Image packages and images: the stored formats against hand-computed
// bytes, name tables, JPEG decoding, the pool and its reference counts, the
// colour switch, animations and the named packages.
#include "uikit/image_resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/writers/ui_resource_writer.h"

namespace {

using testsupport::TempDir;
using uiwriter::Picture;

// A picture whose pixels count up from `first`, rows top first.
Picture Counting(int w, int h, uint16_t first = 1, bool alpha = false) {
    Picture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i) p.pixels.push_back(static_cast<uint16_t>(first + i));
    if (alpha)
        for (int i = 0; i < w * h; ++i) p.alpha.push_back(static_cast<uint16_t>(0x100 + i));
    return p;
}

uiwriter::UiPackageEntry Entry(uint32_t kind, const Picture& p, uint8_t frames = 1, uint32_t delay = 0) {
    uiwriter::UiPackageEntry e;
    e.kind = kind;
    e.width = static_cast<uint16_t>(p.width);
    e.height = static_cast<uint16_t>(p.height);
    e.drawFlags = 1;
    e.blendLevel = 40;
    e.frameDelayMs = delay;
    e.frameCount = frames;
    if (kind == 5)
        e.data = uiwriter::BuildMbdfJpeg(p.width, p.height, uiwriter::EncodeJpeg565(p, 100));
    else if (kind != 1)
        e.data = uiwriter::BuildMbdf(p);
    return e;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

std::vector<uint8_t> Scratch() { return std::vector<uint8_t>(800 * 480 * 2); }

TEST(ImageFormatTest, StoredBytesMatchTheLayout) {
    const Picture p = Counting(3, 2);
    const std::vector<uint8_t> mbdf = uiwriter::BuildMbdf(p);
    EXPECT_EQ(std::string(mbdf.begin(), mbdf.begin() + 4), "MBDF");
    EXPECT_EQ(Le32(mbdf, 8), 3u);   // width
    EXPECT_EQ(Le32(mbdf, 12), 2u);  // height
    EXPECT_EQ(Le32(mbdf, 16), 6u);  // bytes per row
    EXPECT_EQ(mbdf[22], 16);        // bits per pixel
    EXPECT_EQ(Le32(mbdf, 24), mbdf.size() - 28);

    const std::vector<uint8_t> package = uiwriter::BuildUiPackage({Entry(2, p), {}});
    EXPECT_EQ(std::memcmp(package.data() + 32, "1.0\0", 4), 0);
    EXPECT_EQ(Le32(package, 44), 2u);             // entry count
    EXPECT_EQ(Le32(package, 80), 2u);             // entry 1: kind
    EXPECT_EQ(package[84], 3);                    // width
    EXPECT_EQ(Le32(package, 88), 1u);             // draw flags
    EXPECT_EQ(Le32(package, 92), 40u);            // blend level
    EXPECT_EQ(Le32(package, 100), 48u + 32 * 3);  // data right after the table
    EXPECT_EQ(Le32(package, 104), mbdf.size());
    EXPECT_EQ(Le32(package, 112), 0u);  // entry 2 empty

    uiwriter::NamedEntry named;
    named.x = 7;
    named.kind = 1;
    named.data = mbdf;
    const std::vector<uint8_t> ex = uiwriter::BuildNamedPackage({named, named});
    EXPECT_EQ(ex[0], 0x01);
    EXPECT_EQ(ex[1], 0x01);
    EXPECT_EQ(ex[2], 2);
    EXPECT_EQ(Le32(ex, 24), 24u + 20 * 2);  // entry 1 offset
    EXPECT_EQ(ex[32], 7);                   // entry 1 x
    EXPECT_EQ(ex[40], 1);                   // entry 1 kind
    EXPECT_EQ(Le32(ex, 44), 24u + 40 + mbdf.size());

    // Transparency: 0 opaque; blue bits = background 32nds - 1, green 64ths - 1.
    EXPECT_EQ(uiwriter::Transparency565(0), 0);
    EXPECT_EQ(uiwriter::Transparency565(255), 0x07FF);
    EXPECT_EQ(uiwriter::Transparency565(128), (31 << 5) | 15);
}

TEST(ImageFormatTest, PackageEntriesDecodeUprightWithTheirFlags) {
    const Picture bmp = Counting(3, 2, 1);
    const Picture alpha = Counting(2, 2, 100, true);
    Picture photo;
    photo.width = 16;
    photo.height = 8;
    photo.pixels.assign(16 * 8, 0xF800);  // red
    const std::vector<uint8_t> data =
        uiwriter::BuildUiPackage({Entry(2, bmp), Entry(4, alpha), Entry(1, Counting(40, 30)), Entry(5, photo)});
    ResourceLoader loader;
    std::string error;
    ASSERT_TRUE(loader.OpenBytes(data.data(), data.size(), nullptr, 0, &error)) << error;
    ASSERT_EQ(loader.Count(), 4);
    std::vector<uint8_t> scratch = Scratch();

    auto image = loader.LoadImage(1, 1, scratch.data(), scratch.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, RESOURCE_BMP);
    EXPECT_EQ(image->stride, 8);  // 3 x 2 rounded up to 4
    EXPECT_EQ(image->imageSize, 16u);
    EXPECT_EQ(image->Pixel(0, 0), 1);
    EXPECT_EQ(image->Pixel(2, 1), 6);
    // Bottom-up: memory row 0 is the picture's last row.
    EXPECT_EQ(image->bits[0] | image->bits[1] << 8, 4);
    EXPECT_EQ(image->drawFlags, 1u);
    EXPECT_EQ(image->blendLevel, 40u);
    EXPECT_EQ(image->pooled, 1);

    image = loader.LoadImage(2, 2, scratch.data(), scratch.size());
    ASSERT_TRUE(image);
    ASSERT_FALSE(image->alpha.empty());
    EXPECT_EQ(image->Pixel(1, 0), 101);
    EXPECT_EQ(image->Alpha(0, 1), 0x102);

    image = loader.LoadImage(3, 3, scratch.data(), scratch.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, RESOURCE_AREA);
    EXPECT_EQ(image->GetWidth(), 40);
    EXPECT_EQ(image->bits, nullptr);

    image = loader.LoadImage(4, 4, scratch.data(), scratch.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, RESOURCE_JPG);
    EXPECT_NEAR(image->Pixel(5, 5) >> 11, 31, 1);
    EXPECT_LE(image->Pixel(5, 5) & 0x7FF, 0x41u);

    EXPECT_FALSE(loader.LoadImage(5, 5, scratch.data(), scratch.size()));  // past the count
    EXPECT_FALSE(loader.LoadImage(0, 0, scratch.data(), scratch.size()));
    // An image larger than the scratch buffer is refused.
    std::vector<uint8_t> small(3 * 2 * 2 - 2);
    EXPECT_FALSE(loader.LoadImage(1, 1, small.data(), small.size()));
}

TEST(ImageFormatTest, DamagedPackagesAndRecordsAreRefused) {
    const std::vector<uint8_t> good = uiwriter::BuildUiPackage({Entry(2, Counting(3, 2))});
    std::vector<uint8_t> scratch = Scratch();
    struct Case {
        const char* what;
        void (*change)(std::vector<uint8_t>&);
        bool opens;
    } cases[] = {
        {"wrong version", [](auto& b) { b[34] = '1'; }, false},
        {"count past the file", [](auto& b) { b[45] = 0x10; }, false},
        {"short header", [](auto& b) { b.resize(40); }, false},
        {"data past the file", [](auto& b) { b[100] = 0xF0; }, true},
        {"size past the file", [](auto& b) { b[105] = 0x7F; }, true},
        {"bad magic", [](auto& b) { b[112] = 'X'; }, true},
        {"huge width", [](auto& b) { b[112 + 10] = 0x10; }, true},
        {"row bytes too small", [](auto& b) { b[112 + 16] = 2; }, true},
        {"packed size past the record", [](auto& b) { b[112 + 26] = 0x10; }, true},
        {"packed data damaged", [](auto& b) { b[112 + 30] ^= 0xFF; }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good;
        c.change(bytes);
        ResourceLoader loader;
        ASSERT_EQ(loader.OpenBytes(bytes.data(), bytes.size(), nullptr, 0), c.opens);
        if (c.opens) {
            EXPECT_FALSE(loader.LoadImage(1, 1, scratch.data(), scratch.size()));
        }
    }
}

TEST(NameTableTest, RulesOfTheIdxFile) {
    struct Case {
        const char* what;
        std::string text;
        bool ok;
        int found;  // entry of "LANE_01", when ok
    } cases[] = {
        {"plain", "2\nARROW\t3\nLANE_01\t7\n", true, 7},
        {"comments and CR", "# names\r\n2\r\nARROW\t3\r\nLANE_01\t7\r\n", true, 7},
        {"last line without LF is not read", "2\nARROW\t3\nLANE_01\t7", true, -1},
        {"count of 1", "1\nLANE_01\t7\n", false, 0},
        {"name 0", "3\n0\t4\nLANE_01\t7\n", false, 0},
        {"empty name", "3\n\t4\nLANE_01\t7\n", false, 0},
        {"more names than the count", "2\nA\t1\nB\t2\nLANE_01\t7\n", false, 0},
        {"no names", "5\n", false, 0},
        {"line over 31 bytes", "2\nA_VERY_LONG_NAME_OF_THIRTY_BYTES\t7\nLANE_01\t7\n", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NvNameTable table;
        EXPECT_EQ(table.Parse(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size()), c.ok);
        if (c.ok) {
            EXPECT_EQ(table.Find("LANE_01"), c.found);
        }
    }
    // Look-ups upper-case a copy of the asked name.
    NvNameTable table;
    const std::string text = uiwriter::BuildNameTable({{"LANE_01", 7}, {"ARROW", 3}, {"Z", 9}});
    ASSERT_TRUE(table.Parse(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    std::string asked = "lane_01";
    EXPECT_EQ(table.Find(asked), 7);
    EXPECT_EQ(asked, "lane_01");
    EXPECT_EQ(table.Find("ARROW"), 3);
    EXPECT_EQ(table.Find("Z"), 9);
    EXPECT_EQ(table.Find("NONE"), -1);
    // The writer refuses what the reader would: lower case, long lines.
    EXPECT_TRUE(uiwriter::BuildNameTable({{"lower", 1}}).empty());
    EXPECT_TRUE(uiwriter::BuildNameTable({{std::string(28, 'A'), 10}}).empty());
    EXPECT_EQ(uiwriter::BuildNameTable({{"ONE", 1}}), "2\nONE\t1\n");
}

// A w x h JPEG of one colour: red for 3 components (stored as YCbCr, or as
// RGB), grey `value` for 1, CMYK `value` for 4.
std::vector<uint8_t> Jpeg(int components, bool storeRgb, int w, int h, uint8_t value) {
    std::vector<uint8_t> samples(static_cast<size_t>(w) * h * components, value);
    if (components == 3)
        for (size_t i = 0; i < samples.size(); i += 3) samples[i + 1] = samples[i + 2] = 0;
    return uiwriter::EncodeJpeg(samples, w, h, components, 100, storeRgb);
}

TEST(JpegDecodeTest, ColourSpacesSizesAndDamage) {
    std::vector<uint8_t> out(64 * 48 * 2);
    int32_t w = 0, h = 0;
    struct Case {
        const char* what;
        std::vector<uint8_t> jpeg;
        int result;
        uint16_t pixel;  // expected at (10, 10), within 1 per channel
    } cases[] = {
        {"YCbCr", Jpeg(3, false, 32, 16, 255), 1, 0xF800},
        {"stored as RGB", Jpeg(3, true, 32, 16, 255), 1, 0xF800},
        {"grey", Jpeg(1, false, 32, 16, 128), 1, (16 << 11) | (32 << 5) | 16},
        {"CMYK", Jpeg(4, false, 32, 16, 100), 0, 0},
        {"larger than the output", Jpeg(3, false, 128, 64, 255), 0, 0},
        {"empty", {}, 0, 0},
        {"not a JPEG", std::vector<uint8_t>(100, 0x55), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(NvDecodeJpeg(c.jpeg.data(), c.jpeg.size(), out.data(), out.size(), &w, &h), c.result);
        if (!c.result) continue;
        EXPECT_EQ(w, 32);
        EXPECT_EQ(h, 16);
        const uint16_t p = static_cast<uint16_t>(out[(10 * 32 + 10) * 2] | out[(10 * 32 + 10) * 2 + 1] << 8);
        EXPECT_NEAR(p >> 11, c.pixel >> 11, 1);
        EXPECT_NEAR((p >> 5) & 0x3F, (c.pixel >> 5) & 0x3F, 1);
        EXPECT_NEAR(p & 0x1F, c.pixel & 0x1F, 1);
    }
    // Cut short a few bytes into the scan: decodes to the end after the
    // supplied end marker.
    std::vector<uint8_t> cut = Jpeg(3, false, 32, 16, 255);
    size_t scan = 0;
    while (scan + 1 < cut.size() && !(cut[scan] == 0xFF && cut[scan + 1] == 0xDA)) ++scan;
    ASSERT_LT(scan + 20, cut.size() - 2);
    cut.resize(scan + 20);
    EXPECT_EQ(NvDecodeJpeg(cut.data(), cut.size(), out.data(), out.size(), &w, &h), 1);
    EXPECT_EQ(h, 16);
}

// A UI folder with packages 1 and 2 (both colours): entry k of package 1
// holds a 2 x 2 picture of value k; package 2 entries hold 100 x colour + k.
class ImagePackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<uiwriter::UiPackageEntry> p1;
        for (int k = 1; k <= 6; ++k) p1.push_back(Entry(2, Counting(2, 2, static_cast<uint16_t>(k * 10))));
        // Entries 3..5: a three-frame animation, 100 ms a frame.
        for (int k = 3; k <= 5; ++k) p1[k - 1] = Entry(3, Counting(2, 2, static_cast<uint16_t>(k * 10)), 3, 100);
        Write("uiscript_resource001_cr01.dat", uiwriter::BuildUiPackage(p1));
        for (int cr = 1; cr <= 2; ++cr) {
            std::vector<uiwriter::UiPackageEntry> p2;
            for (int k = 1; k <= 5; ++k) p2.push_back(Entry(2, Counting(1, 1, static_cast<uint16_t>(100 * cr + k))));
            char name[64];
            std::snprintf(name, sizeof name, "uiscript_resource002_cr%02d", cr);
            Write(std::string(name) + ".dat", uiwriter::BuildUiPackage(p2));
            m_dir.Write(std::string(name) + ".idx", uiwriter::BuildNameTable({{"FIFTH", 5}, {"FIRST", 1}}));
        }
        ASSERT_EQ(NvInitResourceLoader(m_dir.Path()), 1);
    }
    void TearDown() override {
        NvReleaseResourceLoader();
        NvGetImageDataPool()->Clear();
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        m_dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }

    TempDir m_dir;
};

TEST_F(ImagePackageTest, StartUpNeedsPackageOne) {
    NvReleaseResourceLoader();
    TempDir empty;
    EXPECT_EQ(NvInitResourceLoader(empty.Path()), 0);
    EXPECT_FALSE(NvResourceLoaderReady());
    EXPECT_EQ(NvGetImageData(1), nullptr);
}

TEST_F(ImagePackageTest, IdsPickPackageAndEntry) {
    struct Case {
        int32_t id;
        int pixel;  // -1: no image
    } cases[] = {
        {1, 10}, {2005, 105}, {2001, 101}, {6, 60}, {-1, -1}, {0, -1}, {2000, -1}, {7, -1}, {2006, -1}, {4000, -1},
        {5999, -1}, {1999, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        NvImageData* image = NvGetImageData(c.id);
        EXPECT_EQ(image ? image->Pixel(0, 0) : -1, c.pixel);
        if (image) {
            EXPECT_EQ(image->resourceId, c.id);
        }
        NvReleaseImageData(image);
    }
    EXPECT_EQ(NvGetImageDataPool()->InUse(), 0);
    // Names of the open package; the caller's text is left as it was.
    NvImageData* opener = NvGetImageData(2001);
    ASSERT_TRUE(opener);
    std::string name = "fifth";
    EXPECT_EQ(NvFindImageId(name), 2005);
    EXPECT_EQ(name, "fifth");
    EXPECT_EQ(NvFindImageId("NONE"), -1);
    // Released loader: the image held stays whole, and is found no more.
    NvReleaseResourceLoader();
    EXPECT_EQ(opener->Pixel(0, 0), 101);
    EXPECT_EQ(NvGetImageDataPool()->Find(2001), nullptr);
    NvReleaseImageData(opener);
    EXPECT_EQ(NvGetImageDataPool()->InUse(), 0);
}

TEST_F(ImagePackageTest, PooledImagesAreSharedAndCounted) {
    NvImageDataPool* pool = NvGetImageDataPool();
    NvImageData* a = NvGetImageData(2005);
    NvImageData* b = NvGetImageData(2005);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(pool->RefCount(a), 2);
    NvReleaseImageData(a);
    EXPECT_EQ(pool->RefCount(a), 1);
    EXPECT_EQ(pool->InUse(), 1);
    NvReleaseImageData(b);
    EXPECT_EQ(pool->InUse(), 0);

    // A full pool: the new image is freed and null returned.
    std::vector<NvImageData*> held;
    for (int i = 0; i < kImagePoolEntries; ++i) {
        auto image = std::make_unique<NvImageData>();
        image->pooled = 1;
        held.push_back(pool->RegistImageData(10000 + i, image));
    }
    EXPECT_EQ(pool->InUse(), kImagePoolEntries);
    EXPECT_EQ(NvGetImageData(1), nullptr);
    for (NvImageData* image : held) NvReleaseImageData(image);
    EXPECT_EQ(pool->InUse(), 0);
    // Registering into an entry that holds another id fails.
    auto one = std::make_unique<NvImageData>();
    ASSERT_TRUE(pool->RegistImageData(5, one, 3));
    auto two = std::make_unique<NvImageData>();
    EXPECT_EQ(pool->RegistImageData(6, two, 3), nullptr);
    EXPECT_TRUE(two);  // still the caller's
    pool->Clear();
}

TEST_F(ImagePackageTest, ColourSwitchRetiresPackageTwoImagesWithoutFreeingThem) {
    NvImageData* first = NvGetImageData(1);
    NvImageData* day = NvGetImageData(2003);
    ASSERT_NE(day, nullptr);
    EXPECT_EQ(day->Pixel(0, 0), 103);
    EXPECT_TRUE(NvSetImageColorScheme(2, 1));
    EXPECT_EQ(NvImageColorIndex(), 1);
    // The control still showing the day image keeps it whole.
    EXPECT_EQ(day->Pixel(0, 0), 103);
    NvImageData* night = NvGetImageData(2003);
    ASSERT_NE(night, nullptr);
    EXPECT_NE(night, day);
    EXPECT_EQ(night->Pixel(0, 0), 203);
    // Package 1 is untouched by a switch of package 2's colours.
    NvImageData* again = NvGetImageData(1);
    EXPECT_EQ(again, first);
    EXPECT_TRUE(NvSetImageColorScheme(2, 1));  // the same index: nothing
    EXPECT_EQ(NvGetImageData(2003), night);
    EXPECT_FALSE(NvSetImageColorScheme(16, 0));
    EXPECT_FALSE(NvSetImageColorScheme(0, 0));
    for (NvImageData* image : {first, again, day, night, night}) NvReleaseImageData(image);
    EXPECT_EQ(NvGetImageDataPool()->InUse(), 0);
}

TEST_F(ImagePackageTest, AnimationsStepThroughTheirFrames) {
    std::unique_ptr<NvImageRsc> rsc = NvLoadImageRsc(3);
    ASSERT_TRUE(rsc);
    EXPECT_EQ(rsc->kind, RESOURCE_ANIMATION);
    ASSERT_EQ(rsc->frameCount, 3);
    EXPECT_EQ(rsc->Frame(2)->Pixel(0, 0), 50);
    struct Step {
        uint32_t nowMs;
        bool moved;
        int frame;
    } steps[] = {{50, false, 0}, {101, true, 1}, {150, false, 1}, {202, true, 2}, {303, true, 0}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.nowMs);
        EXPECT_EQ(rsc->StepFrame(s.nowMs), s.moved);
        EXPECT_EQ(rsc->currentFrame, s.frame);
    }
    // A bitmap is one frame whatever its entry says; blank images are not pooled.
    EXPECT_EQ(NvLoadImageRsc(1)->frameCount, 1);
    std::unique_ptr<NvImageRsc> blank = NvCreateImageRsc(4, 3, true);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->Current()->Pixel(3, 2), kColorKey565);
    EXPECT_EQ(blank->Current()->kind, RESOURCE_ALPHA);
    NvImageData* white = NvCreateImageData(2, 2, 0xFFFFFF, false);
    EXPECT_EQ(white->Pixel(0, 0), 0xFFFF);
    EXPECT_EQ(NvColorToPixel(0), 0);
    EXPECT_EQ(NvColorToPixel(0x123456), ((0x12 & 0x1F) << 11) | ((0x34 & 0x3F) << 5) | (0x56 & 0x1F));
    NvReleaseImageData(white);
    rsc.reset();
    EXPECT_EQ(NvGetImageDataPool()->InUse(), 0);
}

TEST(NamedPackageTest, SlotsNamesAndImages) {
    TempDir dir;
    uiwriter::NamedEntry mbdf;
    mbdf.x = 5;
    mbdf.y = 6;
    mbdf.width = 3;
    mbdf.height = 2;
    mbdf.kind = 1;
    mbdf.data = uiwriter::BuildMbdf(Counting(3, 2, 7));
    uiwriter::NamedEntry jpeg;
    jpeg.kind = 2;
    jpeg.width = 32;
    jpeg.height = 16;
    jpeg.data = Jpeg(3, false, 32, 16, 255);
    const std::vector<uint8_t> data = uiwriter::BuildNamedPackage({mbdf, jpeg, {}});
    dir.Write("Theme/Rsc.dat", std::string(data.begin(), data.end()));
    dir.Write("Theme/Rsc.idx", uiwriter::BuildNameTable({{"CROSS", 1}, {"PHOTO", 2}, {"EMPTY", 3}}));
    dir.Write("Bad.dat", "\x02\x01\x00\x00");

    NvResourceLoaderEx* r = NvOpenResourceLoaderEx(dir.File("theme/RSC.dat"), dir.File("Theme/Rsc.idx"), 2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(NvGetResourceLoaderEx(2), r);
    EXPECT_EQ(r->Count(), 3);
    EXPECT_EQ(r->FindIndex(u"photo"), 2);
    EXPECT_EQ(r->FindIndex(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"), -1);  // 32 characters
    int x = 0, y = 0, w = 0, h = 0;
    EXPECT_TRUE(r->GetInfoByName(u"Cross", &x, &y, &w, &h));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_FALSE(r->GetInfo(4, &x, &y, &w, &h));
    int kind = 0;
    size_t size = 0;
    EXPECT_NE(r->LoadDataByName(u"CROSS", &kind, &size), nullptr);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(size, mbdf.data.size());

    NvImageData* image = r->LoadImageByName(u"CROSS");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Pixel(2, 1), 12);
    EXPECT_EQ(image->kind, RESOURCE_BMP);
    EXPECT_EQ(image->drawFlags, 1u);
    EXPECT_EQ(image->notPooled, 1);
    NvResourceLoaderEx::FreeImage(image);
    image = r->LoadImage(2);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 32);
    NvReleaseImageData(image);  // not pooled: deleted
    EXPECT_EQ(r->LoadImage(3), nullptr);  // no data
    EXPECT_EQ(r->LoadImage(0), nullptr);
    EXPECT_EQ(r->LoadImage(4), nullptr);

    EXPECT_EQ(NvOpenResourceLoaderEx(dir.File("Theme/Rsc.dat"), "", 2), nullptr);  // slot taken
    EXPECT_EQ(NvOpenResourceLoaderEx(dir.File("Bad.dat"), "", -1), nullptr);       // version
    EXPECT_EQ(NvOpenResourceLoaderEx(dir.File("None.dat"), "", -1), nullptr);
    EXPECT_EQ(NvOpenResourceLoaderEx(dir.File("Theme/Rsc.dat"), "", 8), nullptr);
    std::vector<NvResourceLoaderEx*> opened;
    for (int i = 0; i < 7; ++i) opened.push_back(NvOpenResourceLoaderEx(dir.File("Theme/Rsc.dat"), "", -1));
    for (NvResourceLoaderEx* o : opened) EXPECT_NE(o, nullptr);
    EXPECT_EQ(NvOpenResourceLoaderEx(dir.File("Theme/Rsc.dat"), "", -1), nullptr);  // all 8 taken
    NvCloseResourceLoaderEx(r);
    EXPECT_EQ(NvGetResourceLoaderEx(2), nullptr);
    NvCloseAllResourceLoaderEx();
    EXPECT_EQ(NvGetResourceLoaderEx(0), nullptr);
}

}  // namespace
