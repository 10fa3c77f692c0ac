// The demo UI end to end: the description in tools/demo_ui written by the
// writer and read back by the loaders: every board, control, font and
// image, both colours and all four layouts, the named packs start-up opens.
// Also writes the contact sheet of every demo image
// (uikit_demo_contact_sheet.png in the test folder) for a look.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/file_io.h"
#include "support/temp_dir.h"
#include "tools/writers/ui_resource_writer.h"
#include "demo_ui_root.h"
#include "uikit/image_resource.h"
#include "uikit/ui_script.h"

namespace {

using testsupport::TempDir;

class DemoUiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir();
        std::vector<uint8_t> text;
        ASSERT_TRUE(platform::ReadWholeFile(uiwriter::FindDemoUiSource(), text));
        s_source = new uiwriter::UiSource();
        std::string error;
        ASSERT_TRUE(uiwriter::ParseUiSource(std::string(text.begin(), text.end()), *s_source, &error)) << error;
        ASSERT_TRUE(uitest::WriteUiResourcesOnce(*s_source, std::string(text.begin(), text.end()), s_dir->Path(), &error))
            << error;
    }
    static void TearDownTestSuite() {
        delete s_source;
        delete s_dir;
    }
    void TearDown() override {
        NvReleaseResourceLoader();
        NvGetImageDataPool()->Clear();
    }
    static std::string Ui() { return s_dir->Path() + "/UI"; }

    static TempDir* s_dir;
    static uiwriter::UiSource* s_source;
};

TempDir* DemoUiTest::s_dir = nullptr;
uiwriter::UiSource* DemoUiTest::s_source = nullptr;

TEST_F(DemoUiTest, EveryBoardControlAndFontLoads) {
    NvUiScript script;
    ASSERT_EQ(script.Load(Ui(), 0, 0), 1);
    EXPECT_EQ(script.BoardCount(), 400);  // the placeholder board 399 ends the second board file
    // The gallery holds one control of every kind 1..16.
    std::set<int> kinds;
    const tagUISCRIPT_BOARD* gallery = script.GetBoard(1);
    ASSERT_NE(gallery, nullptr);
    for (int id = 0; id < gallery->itemCount; ++id) {
        const tagUISCRIPT_LAYOUT* item = script.GetLayout(1, id);
        ASSERT_NE(item, nullptr);
        const tagUISCRIPT_CONTROL* control = script.GetControl(item->controlId);
        ASSERT_NE(control, nullptr) << "item " << id;
        kinds.insert(control->kind);
    }
    for (int kind = 1; kind <= 16; ++kind) EXPECT_TRUE(kinds.count(kind)) << "kind " << kind;
    // Message boxes: kind 15, second attribute 1, six sub-controls.
    for (int id : {779, 1306, 1326}) {
        SCOPED_TRACE(id);
        const tagUISCRIPT_CONTROL* box = script.GetControl(id);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->kind, kUiKindPanel);
        EXPECT_EQ(box->attr2, 1);
        EXPECT_EQ(box->subCount, 6);
        EXPECT_EQ(box->firstSub, id + 1);
    }
    // The full keyboard (82 keys, the last a kind-15 special key), the number
    // pad (12) and the dynamic panel (12 pieces and its content).
    EXPECT_EQ(script.GetControl(90)->subCount, 82);
    EXPECT_EQ(script.GetControl(90 + 91)->kind, 15);
    EXPECT_EQ(script.GetControl(190)->subCount, 12);
    EXPECT_EQ(script.GetControl(70)->subCount, 13);
    // Every sub-control exists; every font id of an item exists.
    for (int id = 0; id < script.ControlCount(); ++id) {
        const tagUISCRIPT_CONTROL* c = script.GetControl(id);
        for (int k = 0; c->kind && k < c->subCount; ++k) {
            const tagUISCRIPT_CONTROL* sub = script.GetControl(c->firstSub + k);
            ASSERT_NE(sub, nullptr);
            EXPECT_NE(sub->kind, 0) << id << " sub " << k;
            EXPECT_NE(sub->subControl, 0);
        }
    }
    EXPECT_NE(script.GetFont(15), nullptr);
    EXPECT_EQ(script.GetFont(15)->fontNumber, 2);
    ASSERT_NE(script.GetFont(100), nullptr);
    const uint8_t dayRed = script.GetFont(100)->style[0].red;
    EXPECT_EQ(script.ReloadFonts(1), 1);
    EXPECT_NE(script.GetFont(100)->style[0].red, dayRed);
    for (int layout : {1, 2, 3, 0}) EXPECT_EQ(script.ReloadLayout(layout), 1) << layout;
    // Remocon 001 and 002 both carry records.
    EXPECT_EQ(script.GetBoard(1)->firstRemocon, 0);
    EXPECT_EQ(script.GetBoard(2)->firstRemocon, 2000);
}

TEST_F(DemoUiTest, EveryImageDecodesInBothColours) {
    ASSERT_EQ(NvInitResourceLoader(Ui()), 1);
    for (int colour = 0; colour < 2; ++colour) {
        NvSetImageColorScheme(2, colour);
        for (const uiwriter::ImageSpec& desc : s_source->images) {
            SCOPED_TRACE(desc.name);
            NvImageData* image = NvGetImageData(desc.id);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->kind, desc.kind);
            EXPECT_EQ(image->GetWidth(), desc.width);
            EXPECT_EQ(image->GetHeight(), desc.height);
            EXPECT_EQ(image->alpha.empty(), desc.kind != RESOURCE_ALPHA);
            NvReleaseImageData(image);
        }
    }
    // Lane images by name, animations with their frames.
    ASSERT_NE(NvGetImageData(2047), nullptr);  // opens package 2
    EXPECT_EQ(NvFindImageId("LANE_00000005"), 3504);
    EXPECT_EQ(NvLoadImageRsc(3530)->frameCount, 4);
    EXPECT_EQ(NvLoadImageRsc(400)->frameCount, 4);
}

TEST_F(DemoUiTest, NamedPacksOfStartUpOpen) {
    const std::string root = s_dir->Path();
    NvResourceLoaderEx* theme =
        NvOpenResourceLoaderEx(root + "\\MAP\\Theme\\ThemeRsc.dat", root + "\\MAP\\Theme\\ThemeRsc.idx", 0);
    NvResourceLoaderEx* cross = NvOpenResourceLoaderEx(root + "\\UI\\CrossPatt.dat", root + "\\UI\\CrossPatt.idx", 1);
    ASSERT_NE(theme, nullptr);
    ASSERT_NE(cross, nullptr);
    for (const char16_t* name : {u"CROSS_001", u"CROSS_002", u"CROSS_003"}) {
        NvImageData* image = cross->LoadImageByName(name);
        ASSERT_NE(image, nullptr);
        NvResourceLoaderEx::FreeImage(image);
    }
    NvImageData* star = theme->LoadImageByName(u"theme_01");
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(star->GetWidth(), 32);
    NvResourceLoaderEx::FreeImage(star);
    NvCloseAllResourceLoaderEx();
}

TEST_F(DemoUiTest, ContactSheet) {
    std::string error;
    const std::vector<uint8_t> png = uiwriter::BuildContactSheet(*s_source, &error);
    ASSERT_FALSE(png.empty()) << error;
    EXPECT_EQ(png[1], 'P');
    std::ofstream("uikit_demo_contact_sheet.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

TEST(DemoUiSourceTest, RefusesBrokenDescriptions) {
    struct Case {
        const char* what;
        const char* text;
    } cases[] = {
        {"image id 4000", "image 4000 X solid w=1 h=1\n"},
        {"image larger than the screen", "image 1 X solid w=801 h=10\n"},
        {"lower-case name", "image 1 lower solid w=1 h=1\n"},
        {"unknown colour", "font 1 F style=nocolour,24,0,0,400\n"},
        {"unknown image", "control 1 C button 10 10 img=NONE\n"},
        {"variant of a layout-file-1 board", "control 1 C button 1 1\nboard 1 B\nitem 0 1 0 0\nvariant 2 0 x=1\n"},
        {"variant of an unknown item", "control 1 C button 1 1\nboard 1 B layoutfile=2\nitem 0 1 0 0\nvariant 2 5 x=1\n"},
        {"board twice", "board 1 A\nboard 1 B\n"},
        {"unknown statement", "window 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uiwriter::UiSource source;
        std::string error;
        EXPECT_FALSE(uiwriter::ParseUiSource(c.text, source, &error));
        EXPECT_NE(error.find("line"), std::string::npos) << error;
    }
}

}  // namespace
