// Plugs the toolkit's control classes into NvCreateControl by kind.
#include "uikit/ctrl_button.h"
#include "uikit/ctrl_list.h"
#include "uikit/ctrl_panel.h"
#include "uikit/ctrl_value.h"

namespace {

template <typename T>
NvControl* Make(const tagUISCRIPT_CONTROL&) {
    return new T();
}

// A slide bar of fewer than two positions has no thumb travel: refused.
NvControl* MakeSlidebar(const tagUISCRIPT_CONTROL& record) {
    return record.attr2 >= 2 ? new NvCtrlSlidebar() : nullptr;
}

// Kind 15 with the second attribute 1 is the message box, built by
// NvShowMessageBox itself; on a board it stays a plain control.
NvControl* MakePanel(const tagUISCRIPT_CONTROL& record) {
    if (record.attr2 == 0) return new NvCtrlStaticPanelView();
    return new NvControl();
}

}  // namespace

void NvRegisterStandardControls() {
    NvRegisterControlKind(kUiKindButton, Make<NvCtrlButton>);
    NvRegisterControlKind(kUiKindCheckBox, Make<NvCtrlCheckBox>);
    NvRegisterControlKind(kUiKindRadioButton, Make<NvCtrlRadioButton>);
    NvRegisterControlKind(kUiKindList, Make<NvCtrlList>);
    NvRegisterControlKind(kUiKindListScroll, Make<NvCtrlListScroll>);
    NvRegisterControlKind(kUiKindBallScroll, Make<NvCtrlBallScroll>);
    NvRegisterControlKind(kUiKindTieScroll, Make<NvCtrlTieScroll>);
    NvRegisterControlKind(kUiKindSlidebar, MakeSlidebar);
    NvRegisterControlKind(kUiKindProgressbar, Make<NvCtrlProgressbar>);
    NvRegisterControlKind(kUiKindComboBox, Make<NvCtrlComboBox>);
    NvRegisterControlKind(kUiKindStatic, Make<NvCtrlStaticView>);
    NvRegisterControlKind(kUiKindPanel, MakePanel);
    NvRegisterControlKind(kUiKindMapPanel, Make<NvCtrlMapPanel>);
    NvRegisterControlKind(kUiKindDynamicPanel, Make<NvCtrlDynamicPanel>);
}
