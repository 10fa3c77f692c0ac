#pragma once
// The developer log: timed step lines and a small status overlay over the
// map (frame counter and draw time, memory, the traffic engine's status,
// re-route counters, the clock), and at the highest debug level an hourly
// memory line appended to "%s\MemoryCheck.txt" in the root folder.
//
// Two switches of the global settings govern it: the debug-view switch
// (0 off, 1 overlay, 2 or more overlay and timed lines) and the debug level
// (3 adds the memory line).
//
// What the overlay shows of other modules (draw time, route counters,
// traffic status, memory) comes through a status source, so the log needs
// none of those modules; the program installs a source that asks them.
//
// Any thread may add timed lines while the draw thread draws the overlay:
// the log's fields are guarded by its own lock. The status source is called
// outside that lock, since it takes the locks of other modules.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/coords.h"
#include "foundation/critical_section.h"
#include "foundation/nv_string.h"
#include "foundation/thread_annotations.h"

// Where one overlay line goes, in window pixels.
struct DevStatusRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The surface the overlay is drawn on (the renderer's device context).
class DevStatusCanvas {
public:
    virtual ~DevStatusCanvas() = default;
    virtual void DrawTextLine(const DevStatusRect& rect, std::u16string_view text) = 0;
};

// What the overlay shows of other modules at one frame.
struct DevStatusInputs {
    int32_t lastDrawMs = 0;        // drawing module: time of the last frame
    int32_t reRouteCount = 0;      // guidance service
    int32_t alterRouteCount = 0;
    // Drawing module: with the flag at 1 the re-route line also shows the
    // value and the point (map units, shown in degrees).
    int32_t drawPointFlag = 0;
    double drawValue = 0.0;
    MapPoint drawPoint;
    std::u16string trafficStatus;  // the traffic engine's status line
    double availVirtualMb = 0.0;
    double availPhysMb = 0.0;
};

// Fills the inputs of one frame.
using DevStatusSource = std::function<void(DevStatusInputs&)>;

// What the settings objects at hand tell: the memory figures and the
// guidance service's re-route counter. The log's source until the program
// installs one that also asks the drawing module and the traffic engine.
void ReadDevStatusDefaults(DevStatusInputs& in);

// The memory figures of this process: the free part of the program-wide
// heap (what is left to allocate, as the free address space was on the
// device) and the physical memory still available, both in MB.
void ReadDevMemoryStatus(double* availVirtualMb, double* availPhysMb);

class CMgrDevLog {
public:
    static constexpr int kMaxLines = 27;
    // A timed line keeps 79 characters (80 with the terminator).
    static constexpr int kLineChars = 80;
    static constexpr uint64_t kMemoryLogPeriodMs = 3600000;
    static constexpr int kMemoryLogLevel = 3;
    // Overlay layout: lines 16 pixels apart from y = 16, between x = 200
    // and x = 700; the traffic line sits 26 pixels below the line above.
    static constexpr int32_t kLeft = 200;
    static constexpr int32_t kRight = 700;
    static constexpr int32_t kFirstTop = 16;
    static constexpr int32_t kLineStep = 16;
    static constexpr int32_t kTrafficStep = 26;

    // Starts with ReadDevStatusDefaults as its source.
    CMgrDevLog();
    CMgrDevLog(const CMgrDevLog&) = delete;
    CMgrDevLog& operator=(const CMgrDevLog&) = delete;

    // The program's one log.
    static CMgrDevLog& Instance();

    // Remembers now as the start of the next timed step.
    void ResetTick();
    // With the debug-view switch at 2 or more and fewer than 27 lines held:
    // adds "(%6d)  %s" with the milliseconds since the start tick, adds them
    // to the total and returns 1; else 0. The start tick stays.
    int AddTickLog(const char16_t* text);
    // Appends 8-bit text to the memory log, creating the file when missing.
    // 1 when all of it was written.
    int AppendMemoryCheck(std::string_view text);
    // With the debug-view switch not 0 draws the overlay (canvas may be null:
    // the frame is counted and the memory line written all the same) and
    // returns 1; 0 when the switch is off. Then the held lines and the total
    // are dropped.
    int DrawStatus(DevStatusCanvas* canvas);

    void SetStatusSource(DevStatusSource source);
    // "%s\MemoryCheck.txt" with the root folder of the global settings.
    static NvString MemoryLogPath();

    int GetLineCount() const;
    int GetTotalMs() const;
    int GetFrameCount() const;
    int GetMemoryLineCount() const;

private:
    // The overlay's lines of one frame; counts the frame and writes the
    // memory line when it is due.
    void ComposeStatus(const DevStatusInputs& in, std::vector<std::pair<DevStatusRect, std::u16string>>& out)
        NAVI_REQUIRES(m_lock);

    mutable CMgrCriticalSection m_lock;
    std::vector<std::u16string> m_lines NAVI_GUARDED_BY(m_lock);
    uint32_t m_startTick NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_totalMs NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_frameCount NAVI_GUARDED_BY(m_lock) = 0;
    int32_t m_memoryLines NAVI_GUARDED_BY(m_lock) = 0;
    bool m_memoryLogged NAVI_GUARDED_BY(m_lock) = false;
    uint64_t m_lastMemoryTick NAVI_GUARDED_BY(m_lock) = 0;
    DevStatusSource m_source NAVI_GUARDED_BY(m_lock);
};
