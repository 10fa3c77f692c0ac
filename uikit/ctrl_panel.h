#pragma once
// The passive controls: statics (kind 5), static panels (kind 15 with the
// second attribute 0) and map panels (kind 14: a surface for a bitmap a
// screen supplies, with up to eight touch areas).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/dib_image.h"
#include "uikit/nv_object.h"

// The behaviour of a static: its class record stays NvCtrlStatic's.
class NvCtrlStaticView : public NvCtrlStatic {
public:
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    // Refused unless the image is an area image; the text areas follow the size.
    bool SetRect(int32_t x, int32_t y, int32_t width, int32_t height);
};

// A static panel draws only while its record's second attribute is 0.
class NvCtrlStaticPanelView : public NvCtrlStaticPanel {
public:
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    bool ShowPopup(uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level) override;
    void Draw(int target, bool full) override;

private:
    bool m_opening = false;
};

class NvCtrlMapPanel : public NvControl {
public:
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }

    void Layout() override;
    void Draw(int target, bool full) override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    // Copies a bitmap of exactly the panel's size into its picture.
    bool SetBitmap(bool flag, const DibImage565* bitmap, int32_t width, int32_t height);

    void* m_spare = nullptr;
};

// Shared by the statics, the static panel and the progress bar: a
// sub-control passes presses up, otherwise only the layout id is reported.
bool NvStaticPointer(NvControl* control, uint32_t message, NvCtrlEvent* event);

// A popup panel whose frame is built from nine pieces to a size in cells,
// or stretched to a rectangle. Children 0-11 are the frame pieces (0-2 a
// one-column frame; 3-11 top-left .. bottom-right), children from 12 the
// content, the only ones drawn, updated and hit.
class NvCtrlDynamicPanel : public NvControl {
public:
    static constexpr int kPieces = 12;
    static const NvRuntimeClass kClass;
    const NvRuntimeClass* GetRuntimeClass() const override { return &kClass; }
    NvCtrlDynamicPanel();
    ~NvCtrlDynamicPanel() override;

    // Width and height of a frame of c columns and r rows; false when a
    // piece the shape needs is missing or c <= 0.
    bool CalcSize(int32_t columns, int32_t rows, int32_t* width, int32_t* height) const;
    bool SetCellCount(int32_t columns, int32_t rows);
    void SetPos(int32_t x, int32_t y);
    bool SetRect(int32_t x, int32_t y, int32_t width, int32_t height);

    bool ShowPopup(uint16_t closeOnTouch, uint16_t timeoutMs, uint8_t restartOnTouch, uint8_t level) override;
    void Draw(int target, bool full) override;
    void Update(uint32_t tick, uint32_t arg, uint32_t updateFlags) override;
    NvNode* HitTest(int32_t x, int32_t y) override;
    bool OnPointer(uint32_t message, NvCtrlEvent* event, uint16_t subIndex) override;
    bool MoveTo(int32_t x, int32_t y, bool relative) override;
    void Dump(std::vector<std::string>& lines) override;

    struct Piece {
        NvImageRsc* image = nullptr;  // not owned
        int32_t x = 0, y = 0;
    };
    std::vector<Piece> m_pieces;
    uint8_t m_stretched = 0;
    std::unique_ptr<NvImageRsc> m_stretchImage;
    int32_t m_columns = 0;
    int32_t m_rows = 0;

private:
    bool m_opening = false;
    const NvControl* PieceControl(int i) const;
    bool BuildPieces();
};
