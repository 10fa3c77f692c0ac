#pragma once
// Small services of the shell that screens call: the message loop's
// current tick, the data root, registered message numbers, the shell's sounds, the drive service's active flag, the
// screen-part hooks of the map screens, and the process-wide values that
// the route, search and drive screens share.
//
// Several of these stand in for parts of the shell that are built later
// (the sound unit, the periodic services, the
// screen-part handlers); each says what it does meanwhile.
#include <cstdint>
#include <functional>
#include <string>

// ---- time and folders

// The tick (ms) the message loop stored with the message being handled;
// before any was stored, the clock's tick.
uint32_t CurrentTickCount();
void SetCurrentTickCount(uint32_t tickMs);
// Forgets the stored tick (CurrentTickCount reads the clock again).
void ClearCurrentTickCount();

// The program's data root folder (the global settings' root folder).
std::u16string DataRootFolder();
// A file under the map folder ("%s\MAP\" under the root), e.g.
// u"Wave\\TouchCancel.wav".
std::u16string MapFolderFile(const std::u16string& relative);

// ---- registered messages

// The number of a registered window message by name (the window link's
// numbering); 0 for an empty name.
uint32_t RegisteredShellMessage(const char* name);
inline constexpr const char* kRmcCurPosName = "BMSG_RMC_CURPOS";
inline constexpr const char* kRmcSelName = "BMSG_RMC_SEL";
inline constexpr const char* kRmcUpName = "BMSG_RMC_UP";
inline constexpr const char* kRmcDownName = "BMSG_RMC_DOWN";

// ---- sounds and questions

// Plays a wave file on a sound channel. Until the sound unit exists it
// writes the trace line "[SHELL] wave %d %s" and tells an installed
// observer (tests).
void PlayShellWave(int channel, const std::u16string& path);
void SetShellWaveObserver(std::function<void(int channel, const std::u16string& path)> observer);

// The two-button question before returning to the current position: the
// chapter message box's answer (8192 for the first button, anything else
// for the second or the time-out). Tests install their own answer.
int ShowReturnQuestion(const char16_t* text, int timeoutMs);
void SetReturnQuestionHook(std::function<int(const char16_t* text, int timeoutMs)> hook);

// ---- map screens

// Gathers the screen-part handlers of a map screen on its activation and
// tells them when it goes. Until the screen parts exist they only count
// (for tests).
void SelectSceneHandlers(int32_t chapterId);
void NotifySceneHandlersDeactivate();
int32_t SceneHandlerSelections();

// The periodic services' active flag (set while a drive screen drives them).
class CMgrDriveService {
public:
    static CMgrDriveService& Instance();
    void SetActive(int active) { m_active = active ? 1 : 0; }
    int IsActive() const { return m_active; }

private:
    int m_active = 0;
};
