#include "shell/chapter_host.h"

#include "shell/chapter_manager.h"

namespace {

class ChapterManagerHost : public ShellChapters {
public:
    ChapterManagerHost() : m_manager(nullptr, kChapterStartId) {}
    int CurrentChapterId() const override { return m_manager.GetCurrentChapterId(); }
    uint32_t LastSwitchTick() const override { return m_manager.GetLastSwitchTick(); }
    void DispatchInput(uint32_t message, uint64_t wParam, int64_t lParam) override {
        m_manager.DispatchInput(message, wParam, lParam);
    }
    void OnChapterEvent(int event) override { m_manager.OnChapterEvent(event); }
    void Update() override { m_manager.UpdateCurrent(); }

private:
    ChapterManager m_manager;
};

}  // namespace

std::unique_ptr<ShellChapters> MakeProgramChapters() { return std::make_unique<ChapterManagerHost>(); }
