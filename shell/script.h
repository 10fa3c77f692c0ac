#pragma once
// The steps of a scripted run: a readable list, one step a line, '#'
// starts a comment.
//   touch X Y              press and release at (X, Y)
//   drag X1 Y1 X2 Y2 [MS]  press, move in steps, release (MS: the drag's time, 300)
//   key NAME|CODE          press and release a key (escape, left, right, up, down, f2, f3, enter)
//   type TEXT              typed characters
//   event N                chapter event N
//   command N [TEXT]       an inter-program command (traced until the link exists)
//   close                  the window's close button
//   wait MS                the program's clock runs MS milliseconds
//   screenshot PATH        the picture on the window as PNG
//   expect-chapter ID      the current chapter must be ID
//   expect-pixel X Y RRGGBB [TOL]  the picture's colour at (X, Y), each channel within TOL (8)
//   expect-shown 0|1       whether the window is shown
//   quit                   ends the run as the window's close does
#include <cstdint>
#include <string>
#include <vector>

struct ScriptStep {
    enum Kind { kTouch, kDrag, kKey, kType, kEvent, kCommand, kClose, kWait, kScreenshot, kExpectChapter,
                kExpectPixel, kExpectShown, kQuit };
    Kind kind = kWait;
    int32_t a = 0, b = 0, c = 0, d = 0, e = 0;
    std::string text;
    int line = 0;
};

// False with "line N: ..." in error for a step it does not know.
bool ParseScript(const std::string& text, std::vector<ScriptStep>& out, std::string* error);
