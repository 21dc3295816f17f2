#pragma once

#include <QString>

// The folder of the program's read-only files (AppResources.rcc, help/, the
// export's signs): the executable's own folder in a build tree, the installed
// share folder beside the executable's bin folder otherwise. Both are found
// from the executable's location, so a moved install works.
QString ProgramDataFolder();
