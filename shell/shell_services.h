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

// ---- the route-option slots and the route values the screens share

// Four slots of route options, 0 = empty.
inline constexpr int kRouteOptionSlots = 4;
// First slot = option, the others empty; returns option.
int32_t ResetRouteOptionSlots(int32_t option);
// Stores the option in the first empty slot and returns it; 4 (and nothing
// changes) when all four are taken.
int32_t AddRouteOptionSlot(int32_t option);
// The slot of the option (0..3), -1 when absent.
int FindRouteOptionSlot(int32_t option);
// The first empty slot (0..3), 4 when none is.
int FirstFreeRouteOptionSlot();
// Option bits to a slot: 0x100 -> 0, 0x200 -> 1, 0x400 -> 2; else the value
// 2 -> 1, 4 -> 2, 8 -> 3, anything else 0.
int RouteOptionToSlot(int32_t optionBits);

// The route option the driver chose, the options planned, whether the drive
// screens adopt the chosen option's route, and whether they owe the "guide
// start" voice prompt. Main thread.
extern int32_t g_nSelectedRouteOption;
extern uint32_t g_uPlannedRouteOptions;
extern int32_t g_bAdoptRouteOnDrive;
extern int32_t g_bGuideStartPromptPending;

// Ends a pending hold of the last destination (the destination watch) and
// forgets the course's saved destination.
void EndSavedDestinationHold();

// Switches the name search reads: the sub-place feature (1: sub-place
// buttons; the "SUBPOI" item of the UI data) and the details setting (1:
// building and floor in the preview text, the details button shown).
struct ShellSearchSwitches {
    int32_t subPlaceFeature = 0;
    int32_t showDetails = 0;
    // Filled from the global settings on first use.
    static ShellSearchSwitches& Instance();
};

// Asks positioning to put the matched position on an adjacent road at the
// next match. The request waits in a flag until the map matching takes it
// (TakeAdjacentRoadRequest); without a matcher nothing comes of it.
void RequestAdjacentRoad();
bool TakeAdjacentRoadRequest();

// Places a popup node of the current board above an anchor control (its
// bottom edge on the anchor's top edge, then moved by dx, dy); the node's
// own children move with it, and so do the childCount layout ids after the
// node. redraw marks them for drawing. 0 when the node or the anchor is not
// on the board.
int PlaceNodeAboveControl(int32_t nodeId, int redraw, int32_t childCount, int32_t anchorId, int32_t dx, int32_t dy);

// The empty marker many screens hold as a member.
class CMgrModuleStarter {};
