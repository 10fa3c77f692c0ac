#pragma once
// The screen of a chapter whose own screen is not built yet: a small board
// with a title, the chapter id, and back and home buttons (events 90 and
// 148), so that every chapter the transition table names can be reached
// and left. A chapter whose block answers neither 90 nor 148 (route
// progress leaves only by its results) has its buttons post the events its
// block does answer, so its placeholder is never a dead end.
#include <cstdint>

#include "shell/chapter_base.h"

inline constexpr int32_t kPlaceholderBoardId = 399;
// Layout ids of the placeholder board.
inline constexpr int32_t kPlaceholderTitle = 1;
inline constexpr int32_t kPlaceholderBack = 2;
inline constexpr int32_t kPlaceholderHome = 3;
inline constexpr int32_t kPlaceholderIdText = 4;

// The events the placeholder's back and home buttons post for a chapter.
struct PlaceholderLeaveEvents {
    int32_t back;
    int32_t home;
};
PlaceholderLeaveEvents PlaceholderLeaveEventsOf(int32_t chapterId);

class PlaceholderChapter : public BaseChapterBoard {
public:
    explicit PlaceholderChapter(int32_t chapterId);
    void ActiveChapter() override;
    int32_t OnBack(int withSound) override;
    int32_t OnCurrentPosition() override;
};
