#pragma once
// The small stateless object through which screens, screen parts and scene
// procedures reach the controls of the current board by layout id. No
// control pointer is kept across frames: every call finds the control again
// through the board host and does nothing (0, false or an empty value) when
// the board has no such control. It also wraps the drawing services screens
// use to paint digits, lane arrows and text into control images.
#include <cstdint>
#include <string>

#include "uikit/board_manager.h"

class DibImage565;
class NvImageData;
class NvImageRsc;
class NvNode;

// The screen form of a rectangle (the toolkit's NvRect is x, width, y, height).
struct BoardSection {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class BoardHelper {
public:
    BoardHelper() = default;
    virtual ~BoardHelper() = default;

    // The host the calls go through: the process's board host unless a
    // test or tool gave another.
    static NvBoardManager* Host();
    static void SetHost(NvBoardManager* host);
    static NvControl* Control(int32_t layoutId);

    // ---- board and visibility
    void RedrawBoard(bool full);
    // The back buffer the program draws the screen into.
    NvImageData* GetScreenDC();
    int RedrawControl(int32_t id);
    int RedrawNode(NvNode* node);
    int ShowControl(int32_t id, int show);
    int IsControlShown(int32_t id);
    int HideChildren(int32_t id);
    int OpenPopup(int32_t id, int closeOnTouch, int timeoutMs, int level);
    int ClosePopup(int32_t id);
    int IsPopupOpen(int32_t id);
    int32_t GetGlobalControlId(int32_t id);
    uint16_t GetControlLayoutAttr(int32_t id);
    NvControl* SetSubControlFlag(int32_t id, int on);
    int IsSubControl(int32_t id);

    // ---- state, check and value controls
    int SetControlAltImages(int32_t id, int32_t image4, int32_t image5);
    int SetControlStateImages(int32_t id, int32_t image0, int32_t image1);
    int SetControlImage(int32_t id, int32_t image);
    int SetSubControlImage(int32_t id, int32_t image);
    int ReleaseControlImage(int32_t id);
    int SetButtonSoundFlag(int32_t id, int on);
    int SetControlDim(int32_t id, int dim);
    int SetCheckBoxChecked(int32_t id, int on);
    int IsControlChecked(int32_t id);
    uint16_t GetGaugePos(int32_t id);
    int SetGaugePos(int32_t id, int32_t pos);
    int SetControlOption(int32_t id, int on);
    int GetControlOption(int32_t id);
    int StepSlidebarBack(int32_t id, int32_t n);
    uint16_t GetSlidebarRemaining(int32_t id);
    int SetSlidebarPos(int32_t id, int32_t pos);

    // ---- text
    static const char16_t* GetText(int table, int textId);
    // The text in the ANSI code page (CP949), cut to 511 bytes.
    static std::string GetTextA(int table, int textId);
    int SetControlText(int32_t id, const char16_t* text);
    int SetControlTextRes(int32_t id, int table, int textId);
    int SetControlTextStyle(int32_t id, int style);
    int SetSubControlText(int32_t id, const char16_t* text);
    int SetSubControlTextStyle(int32_t id, int style);
    int SetControlTextLineAttr(int32_t id, int16_t x, int16_t y);
    // Draws a CP949 text into the state-0 image of imageCtrl inside the
    // rectangle of rectCtrl (relative to its parent), with a font made for
    // the call (font = face index, size in pixels, weight). colour is
    // red | green << 8 | blue << 16. 0 when a control, the image, the font
    // or the drawing context is missing.
    int DrawTextOnControlImage(int32_t imageCtrl, int32_t rectCtrl, const std::string& text, int font, int size,
                               int weight, uint32_t align, uint32_t colour);
    int DrawTextResOnControlImage(int32_t imageCtrl, int32_t rectCtrl, int textId, int font, int size, int weight,
                                  uint32_t align, uint32_t colour);
    int DrawTextAtOnControlImage(int32_t imageCtrl, int32_t x, int32_t y, const char16_t* text, int font, int size,
                                 int weight, uint32_t align, uint32_t colour);
    int MeasureText(const std::string& text, int font, int size, int weight, int32_t* width, int32_t* height);

    // ---- geometry
    int GetControlRect(int32_t id, BoardSection* out, int relative);
    int SetControlRect(int32_t id, const BoardSection& rect, int relative);
    int GetControlPos(int32_t id, int32_t* x, int32_t* y, int spare, int live);
    int SetControlPos(int32_t id, int32_t x, int32_t y, int flag);
    int MoveControlToControl(int32_t target, int32_t source, int flag);
    int GetControlSize(int32_t id, int32_t* width, int32_t* height);
    int32_t GetControlAbsX(int32_t id);
    int32_t GetControlAbsY(int32_t id);
    int ResizeDynamicPanel(int32_t id, int32_t columns, int32_t rows);
    int ResizeDynamicPanelWidth(int32_t id, int32_t width);
    int SetStaticRect(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
    static BoardSection RectToSection(const NvRect& rect);
    static NvRect SectionToRect(const BoardSection& section);

    // ---- images and drawing
    static NvImageData* LoadImage(int32_t resourceId);
    static void ReleaseImage(NvImageData* image);
    static NvImageData* LoadImageByName(const std::string& name);
    NvImageData* GetControlImage(int32_t id);
    // The bitmap kept with the state-0 image; null when there is none.
    DibImage565* GetControlBitmap(int32_t id);
    int FillControlImage(int32_t id, uint16_t colour);
    int SetControlImageFlags(int32_t id, uint32_t flags);
    int DrawDigit(int32_t id, NvImageData* strip, int digit);
    int DrawTwoDigits(int32_t id, NvImageData* strip, int value);
    int DrawThreeDigits(int32_t id, NvImageData* strip, int32_t overlap, int d1, int d2, int d3);
    int DrawDigitGroup(int32_t id, NvImageData* digits, NvImageData* smallDigits, NvImageData* separator, int32_t x,
                       int d1, int d2, int d3, int flag);
    int DrawCappedBar(int32_t id, int32_t pos, NvImageData* left, NvImageData* middle, NvImageData* right,
                      int count, int max);
    int DrawCappedBarAtOrigin(int32_t id, NvImageData* left, NvImageData* middle, NvImageData* right, int count,
                              int max);
    // The lane images "LANE_%08X" side by side from x = pos; a code without
    // an image takes no place. max < count keeps the first (fromStart 1) or
    // the last max lanes. The number of lanes drawn.
    int DrawLaneImages(int32_t id, int32_t pos, int count, const uint32_t* codes, int fromStart, int max);
    // Images code + 3476, one cell apart; a missing image keeps its place.
    int DrawLaneIcons(int32_t id, int32_t pos, int max, const uint32_t* codes, int count);
    static int IsLaneImageAvailable(uint32_t code);
    int DrawImageOnControl(int32_t id, int32_t x, int32_t y, NvImageData* image);
    static int DrawImageAt(int32_t x, int32_t y, NvImageData* image);
    static int DrawImageOnDC(NvImageData* target, int32_t x, int32_t y, NvImageData* image);
    static int FindPackImage(const std::u16string& name);
    static int FindThemeImage(const std::u16string& name);
    int SetControlPackImage(int32_t id, const std::u16string& name);
    int SetControlThemeImage(int32_t id, const std::u16string& name);
    // Darkens the whole back buffer to half brightness.
    static void DimScreen();
    static const tagUISCRIPT_LAYOUT* GetBoardScriptItem(int32_t boardId, int32_t n);
    const tagUISCRIPT_CONTROL* GetControlScript(int32_t id);
};
