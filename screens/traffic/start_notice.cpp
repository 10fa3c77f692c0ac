#include "screens/traffic/start_notice.h"

#include <memory>

#include "shell/chapter_manager.h"
#include "shell/external_link.h"
#include "shell/shell_services.h"

StartBoardChapter::StartBoardChapter(int32_t chapterId, int32_t leaveEvent, bool withButton)
    : BaseChapterUICommon(chapterId), m_leaveEvent(leaveEvent), m_withButton(withButton) {
    InitBoard(kStartNoticeBoardId, -1, -1);
}

int32_t StartBoardChapter::OnCreate() {
    m_initTickMs = CurrentTickCount();
    return 0;
}

int32_t StartBoardChapter::OnBoardLoaded() {
    if (m_withButton) AddButtonRule4(kStartNoticeButton, nullptr, 0, 0, m_leaveEvent, 0);
    return 0;
}

int32_t StartBoardChapter::OnUpdate() {
    if (CurrentTickCount() - m_initTickMs < kStartNoticeTimeoutMs) return 0;
    // Once is enough: the switch follows the first. A post the full queue
    // refused is tried again on the next update.
    if (!m_posted) m_posted = ChapterManager::PostChapterEvent(m_leaveEvent) == 1;
    return 1;
}

ChapterStartNotice::~ChapterStartNotice() { BroadcastStatus(kStatusStartNoticeClosed, 0); }

void RegisterTrafficScreens(ChapterFactory& factory) {
    factory.Register(3, [](int32_t id) { return std::make_unique<ChapterStartNotice>(id); });
    factory.Register(5, [](int32_t id) { return std::make_unique<ChapterDemoStart>(id); });
}
