#pragma once
// The start-up's services on the program's own objects: the saved route's
// files and settings objects, the two image packs, the fonts.
#include <string>

#include "shell/saved_route.h"

// The saved-route services on the guidance and course settings, the route
// folder's "Guide.dat" and the NAND folder's "LastGPS.dat". Guidance
// restores through a stand-in until its module exists: it accepts.
SavedRouteServices ProgramSavedRouteServices();

// Opens "%s\MAP\Theme\ThemeRsc.dat" (with its ".idx") into package slot 0
// and "%s\UI\CrossPatt.dat" into slot 1; false when one does not open.
bool OpenStartupImagePacks(const std::string& rootFolder);
void CloseStartupImagePacks();

// "FONT1" and "FONT4" (24, 300); released again by ReleaseStartupFonts.
void LoadStartupFonts();
void ReleaseStartupFonts();

// The current GPS position into the UI information, marked valid.
void StoreLastPosition();
