#include "scanner/OXCoreLibrary.h"

// The identification front end plugs in here: one file by path, one unknown file in hash mode, and the unknown
// episodes of a folder.
OXCoreLibrary::Identification OXCoreLibrary::defaultIdentification() { return {}; }
