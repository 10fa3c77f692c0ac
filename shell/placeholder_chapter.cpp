#include "shell/placeholder_chapter.h"

#include <string>

#include "uikit/board_manager.h"

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
