// The node tree: the children array with its holes, hit testing (last
// child first, hidden ones skipped, both edges inside), z-order, moving,
// screen alignment with its clamp, the class records and the dump, and the
// control table of a board built from script files.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "tools/writers/ui_resource_writer.h"
#include "uikit/board_manager.h"
#include "uikit/nv_object.h"
#include "uikit/renderer.h"

namespace {

std::unique_ptr<NvControl> Box(int32_t x, int32_t y, int32_t w, int32_t h) {
    auto c = std::make_unique<NvControl>();
    c->m_rect = {x, w, y, h};
    return c;
}

TEST(NodeTreeTest, ChildrenArrayKeepsHolesAndReusesThem) {
    NvNode parent;
    auto a = Box(0, 0, 1, 1), b = Box(0, 0, 1, 1), c = Box(0, 0, 1, 1), d = Box(0, 0, 1, 1);
    parent.AddChild(a.get(), false);
    parent.AddChild(b.get(), false);
    parent.AddChild(c.get(), false);
    EXPECT_EQ(parent.RemoveChild(b.get()), b.get());
    EXPECT_EQ(b->m_parent, nullptr);
    EXPECT_EQ(parent.ChildCount(), 3u);  // a hole in the middle
    EXPECT_EQ(parent.GetChild(1), nullptr);
    EXPECT_EQ(parent.RemoveChildAt(2), c.get());
    EXPECT_EQ(parent.ChildCount(), 2u);  // the last slot: the count drops
    parent.AddChild(d.get(), true);
    EXPECT_EQ(parent.GetChild(1), d.get());  // the hole is filled first
    EXPECT_EQ(parent.RemoveChildAt(7), nullptr);
    EXPECT_EQ(parent.RemoveChild(c.get()), nullptr);
    // Adding to another node takes the child from its old parent.
    NvNode other;
    other.AddChild(a.get(), false);
    EXPECT_EQ(parent.GetChild(0), nullptr);
    EXPECT_EQ(a->m_parent, &other);

    NvTArray<NvNode*> array(0, 4);
    array.AppendAt(5, a.get());
    EXPECT_EQ(array.Capacity(), 9u);  // index + growth step
    EXPECT_EQ(array.Count(), 6u);
    array.SetAt(20, b.get());  // beyond the capacity: ignored
    EXPECT_EQ(array.NonNull(), 1u);
    EXPECT_EQ(array.AddReuse(nullptr), -1);
    EXPECT_EQ(array.AddReuse(b.get()), 0);
}

TEST(NodeTreeTest, HitTestTriesTheLastVisibleChildFirst) {
    auto panel = Box(0, 0, 100, 100);
    auto under = Box(10, 10, 50, 50), over = Box(30, 30, 50, 50);
    panel->AddChild(under.get(), false);
    panel->AddChild(over.get(), false);
    EXPECT_EQ(panel->HitTest(40, 40), over.get());
    over->SetCullFlag(true);
    EXPECT_EQ(panel->HitTest(40, 40), under.get());
    EXPECT_EQ(panel->HitTest(60, 60), under.get());  // right and bottom edges are inside
    EXPECT_EQ(panel->HitTest(61, 40), panel.get());
    EXPECT_EQ(panel->HitTest(101, 5), nullptr);
    // A node whose children are all holes is itself the hit.
    panel->RemoveChild(under.get());
    panel->RemoveChild(over.get());
    EXPECT_EQ(panel->HitTest(40, 40), panel.get());
}

TEST(NodeTreeTest, ZOrderMovesTheNodeAndItsAncestors) {
    auto root = Box(0, 0, 10, 10);
    auto n1 = Box(0, 0, 1, 1), n2 = Box(0, 0, 1, 1), n3 = Box(0, 0, 1, 1), n4 = Box(0, 0, 1, 1);
    for (NvControl* c : {n1.get(), n2.get(), n3.get(), n4.get()}) root->AddChild(c, false);
    n3->ChangeZOrder(false);
    std::vector<NvNode*> order;
    for (uint32_t i = 0; i < root->ChildCount(); ++i) order.push_back(root->GetChild(i));
    EXPECT_EQ(order, (std::vector<NvNode*>{n3.get(), n1.get(), n2.get(), n4.get()}));
    n1->ChangeZOrder(true);
    EXPECT_EQ(root->GetChild(3), n1.get());
    EXPECT_EQ(root->IndexOf(n4.get()), 2);
}

TEST(NodeTreeTest, MovingCarriesTheChildrenAndMarksThemDirty) {
    auto parent = Box(10, 10, 100, 100);
    auto child = Box(20, 30, 5, 5);
    parent->AddChild(child.get(), false);
    child->SetUpdateFlag(false);
    EXPECT_TRUE(parent->MoveTo(50, 60, false));
    EXPECT_EQ(child->m_rect.x, 60);
    EXPECT_EQ(child->m_rect.y, 80);
    EXPECT_TRUE(child->IsDirty());
    EXPECT_TRUE(child->MoveTo(1, 2, true));  // relative to the parent
    EXPECT_EQ(child->m_rect.x, 51);
    EXPECT_EQ(child->GetLocalRect().y, 2);
    EXPECT_FALSE(parent->MoveTo(0, 0, true));  // relative without a parent
}

TEST(NodeTreeTest, AlignOnTheScreenWithTheClamp) {
    NvBoardManager host(nullptr);
    NvToolkit().screen = {0, 800, 0, 480};
    struct Case {
        uint8_t align;
        int16_t itemX, itemY;
        int32_t w, h;
        int32_t x, y;
    };
    const Case cases[] = {
        {2, -100, 0, 100, 40, 700, 0},   // from the right
        {0, 700, 0, 200, 40, 600, 0},    // clamped to the right edge
        {1, 10, 0, 200, 40, 310, 0},     // centred: 400 - 100 + 10
        {12, 0, 50, 10, 40, 0, 50},      // both vertical bits: neither rule, item y
        {4, 0, -50, 10, 40, 0, 170},     // centred: 240 - 20 - 50
        {8, 0, -50, 10, 40, 0, 430},     // from the bottom
        {0, -30, -30, 10, 10, 0, 0},     // negative: 0
    };
    for (const Case& k : cases) {
        tagUISCRIPT_LAYOUT item{};
        item.x = k.itemX;
        item.y = k.itemY;
        item.screenAlign = k.align;
        auto c = Box(item.x, item.y, k.w, k.h);
        c->m_item = &item;
        c->Align();
        EXPECT_EQ(c->m_rect.x, k.x) << int(k.align);
        EXPECT_EQ(c->m_rect.y, k.y) << int(k.align);
    }
    tagUISCRIPT_LAYOUT relative{};
    relative.relative = 1;
    relative.screenAlign = 2;
    auto c = Box(5, 5, 10, 10);
    c->m_item = &relative;
    c->Align();
    EXPECT_EQ(c->m_rect.x, 5);  // relative items are not aligned
}

TEST(NodeTreeTest, ClassRecordsAndDump) {
    NvCtrlStatic s;
    std::vector<std::string> chain;
    for (const NvRuntimeClass* c = s.GetRuntimeClass(); c; c = c->baseClass) chain.push_back(c->className);
    EXPECT_EQ(chain, (std::vector<std::string>{"NvCtrlStatic", "NvControl", "NvNode", "NvRscObject", "NvObject"}));
    EXPECT_TRUE(s.IsKindOf(&NvNode::kClass));
    NvImageRsc image;
    EXPECT_TRUE(image.IsKindOf(&NvRscObject::kClass));
    EXPECT_FALSE(image.IsKindOf(&NvNode::kClass));

    auto parent = Box(0, 0, 10, 10);
    parent->AddChild(&s, false);
    s.m_layoutId = 7;
    s.SetText(u"AB", false, false);
    std::vector<std::string> lines;
    parent->DumpTree(lines);
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("--- NvCtrlStatic ---"));
    EXPECT_TRUE(has("layout id = 7"));
    EXPECT_TRUE(has("child index = 0"));
    EXPECT_TRUE(has("children cnt = 1"));
    EXPECT_TRUE(has("text = AB"));
    parent->RemoveChild(&s);
}

TEST(NodeTreeTest, LoadImagesAllSkipsPopupSubtreesByMode) {
    // A blank static (attribute 1) makes its own image, so no package is needed.
    auto board = Box(0, 0, 100, 100);
    auto plain = Box(0, 0, 10, 10), popup = Box(0, 0, 10, 10), sub = Box(0, 0, 10, 10);
    for (NvControl* c : {plain.get(), popup.get(), sub.get()}) {
        c->m_kind = kUiKindStatic;
        c->m_attr1 = 1;
    }
    popup->m_popup = 1;
    sub->m_popup = 0;
    board->AddChild(plain.get(), false);
    board->AddChild(popup.get(), false);
    popup->AddChild(sub.get(), false);
    board->LoadImagesAll(1);
    EXPECT_TRUE(plain->m_images[0]);
    EXPECT_FALSE(popup->m_images[0]);
    EXPECT_FALSE(sub->m_images[0]);  // skipped with its popup
    board->ReleaseImagesAll();
    board->LoadImagesAll(2);
    EXPECT_FALSE(plain->m_images[0]);
    EXPECT_TRUE(popup->m_images[0]);
}

}  // namespace

// ---- the control table of a board built from script files

namespace {

TEST(BoardTableTest, SubControlsTakeTheSlotsAfterTheItems) {
    // 10 items; item 3's control has 4 sub-controls, the second of which
    // has 2 of its own: 16 slots, the sub-controls at 10..15.
    uiwriter::ScriptTables t;
    auto control = [](int id, int first, int count, bool sub) {
        uiwriter::ControlRecord c;
        c.id = id;
        c.kind = kUiKindStatic;
        c.width = c.height = 10;
        c.firstSub = first;
        c.subCount = count;
        c.subControl = sub ? 1 : 0;
        return c;
    };
    t.controls = {control(1, 0, 0, false), control(10, 11, 4, false), control(11, 0, 0, true),
                  control(12, 20, 2, true), control(13, 0, 0, true),  control(14, 0, 0, true),
                  control(20, 0, 0, true),  control(21, 0, 0, true)};
    for (int i = 0; i < 10; ++i) {
        uiwriter::LayoutItem item;
        item.board = 1;
        item.layoutId = i;
        item.control = i == 3 ? 10 : 1;
        item.x = static_cast<int>(i * 20);
        t.layout1.push_back(item);
    }
    t.highestBoard = 1;
    std::map<std::string, std::string> files;
    std::string error;
    ASSERT_TRUE(uiwriter::BuildScriptFiles(t, files, &error)) << error;
    testsupport::TempDir dir;
    for (const auto& [name, text] : files) dir.Write(name, text);
    NvUiScript script;
    script.Load(dir.Path(), 0, 0);
    ASSERT_NE(script.GetBoard(1), nullptr);

    NvHeadlessPresenter window(800, 480);
    ASSERT_NE(NvInitRenderer(&window, 800, 480, 0, 0, 800, 480, true, 0), nullptr);
    NvSetUiScript(&script);
    {
        NvBoardManager host(dir.Path().c_str());
        NvToolkit().screen = {0, 800, 0, 480};
        ASSERT_EQ(host.LoadBoard(1), 1);
        NvBoard* board = host.GetBoard();
        EXPECT_EQ(board->ControlCount(), 16);
        const int32_t owners[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 11, 11, 3, 3};
        const int32_t controls[16] = {1, 1, 1, 10, 1, 1, 1, 1, 1, 1, 11, 12, 20, 21, 13, 14};
        for (int32_t id = 0; id < 16; ++id) {
            NvControl* c = board->GetControl(id);
            ASSERT_NE(c, nullptr) << id;
            EXPECT_EQ(c->m_layoutId, id);
            EXPECT_EQ(c->m_parentLayoutId, owners[id]) << id;
            EXPECT_EQ(c->m_controlId, controls[id]) << id;
        }
        EXPECT_EQ(board->GetControl(13)->m_parent, board->GetControl(11));
        EXPECT_EQ(board->GetControl(13)->m_subIndex, 1);
        EXPECT_EQ(board->GetControl(16), nullptr);
        host.DestroyBoard();
    }
    NvSetUiScript(nullptr);
    NvReleaseRenderer();
}

}  // namespace
