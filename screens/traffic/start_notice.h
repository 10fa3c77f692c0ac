#pragma once
// The notice shown at start before the first map screen (chapter 3, board
// 43): it moves on by itself after five seconds, or at once with control 2,
// by chapter event 23; leaving it tells other programs (status 13).
//
// The demonstration start (chapter 5) shows the same board without a
// button and moves on to the notice by chapter event 1 after the same five
// seconds.
#include <cstdint>

#include "shell/chapter_base.h"

class ChapterFactory;

inline constexpr int32_t kStartNoticeBoardId = 43;
inline constexpr int32_t kStartNoticeButton = 2;
inline constexpr uint32_t kStartNoticeTimeoutMs = 5000;
inline constexpr int32_t kStartNoticeEvent = 23;
inline constexpr int32_t kDemoStartEvent = 1;
inline constexpr int32_t kStatusStartNoticeClosed = 13;

// A start board that posts its event once, after the time-out (or, with a
// button, on its press). Posting once: the manager switches on the first.
class StartBoardChapter : public BaseChapterUICommon {
public:
    StartBoardChapter(int32_t chapterId, int32_t leaveEvent, bool withButton);

    int32_t OnCreate() override;
    int32_t OnBoardLoaded() override;
    int32_t OnUpdate() override;

    bool HasPosted() const { return m_posted; }

private:
    int32_t m_leaveEvent;
    bool m_withButton;
    uint32_t m_initTickMs = 0;
    bool m_posted = false;
};

class ChapterStartNotice : public StartBoardChapter {
public:
    explicit ChapterStartNotice(int32_t chapterId = 3)
        : StartBoardChapter(chapterId, kStartNoticeEvent, true) {}
    ~ChapterStartNotice() override;
};

class ChapterDemoStart : public StartBoardChapter {
public:
    explicit ChapterDemoStart(int32_t chapterId = 5) : StartBoardChapter(chapterId, kDemoStartEvent, false) {}
};

// Registers the traffic screens that exist with the factory.
void RegisterTrafficScreens(ChapterFactory& factory);
