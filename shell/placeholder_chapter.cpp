#include "shell/placeholder_chapter.h"

#include <string>

#include "shell/chapter_manager.h"
#include "uikit/board_manager.h"

PlaceholderLeaveEvents PlaceholderLeaveEventsOf(int32_t chapterId) {
    // Route progress: 21 (cancelled) goes back to where the route was asked
    // for, 18 (failed) pops to the bottom map screen.
    if (chapterId == 18) return {21, 18};
    return {kChapterEventBack, kChapterEventHome};
}

PlaceholderChapter::PlaceholderChapter(int32_t chapterId) : BaseChapterBoard(chapterId) {
    InitBoard(kPlaceholderBoardId, kPlaceholderBack, kPlaceholderHome);
}

void PlaceholderChapter::ActiveChapter() {
    BaseChapterBoard::ActiveChapter();
    NvBoardManager* host = ChapterBoardHost();
    if (!host) return;
    if (NvControl* title = host->GetControl(kPlaceholderTitle)) title->SetText(u"준비 중인 화면", false, true);
    if (NvControl* id = host->GetControl(kPlaceholderIdText)) {
        const std::string digits = std::to_string(m_chapterId);
        const std::u16string text = u"화면 " + std::u16string(digits.begin(), digits.end());
        id->SetText(text.c_str(), false, true);
    }
}

int32_t PlaceholderChapter::OnBack(int withSound) {
    const PlaceholderLeaveEvents leave = PlaceholderLeaveEventsOf(m_chapterId);
    if (leave.back == kChapterEventBack) return BaseChapterBoard::OnBack(withSound);
    if (withSound == 1) PlayTouchCancel();
    ChapterManager::PostChapterEvent(leave.back);
    return 0;
}

int32_t PlaceholderChapter::OnCurrentPosition() {
    const PlaceholderLeaveEvents leave = PlaceholderLeaveEventsOf(m_chapterId);
    if (leave.home == kChapterEventHome) return BaseChapterBoard::OnCurrentPosition();
    ChapterManager::PostChapterEvent(leave.home);
    return 0;
}
