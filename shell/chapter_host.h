#pragma once
// The chapter manager as the main window sees it.
#include <memory>

#include "shell/main_window.h"

// The program's chapter manager on its transition table, in the start
// state 1 (made on the start-up thread, used on the main thread only).
std::unique_ptr<ShellChapters> MakeProgramChapters();
