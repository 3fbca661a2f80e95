#pragma once
// The archive forms of the media core: OXFile, OXMovie, OXShow and OXEpisode, under these class names and keys,
// as both programs write and read them in "library.bin" and the "/movies" answer.

// Registers how each core class is rebuilt from an archive. Safe to call from any thread, any number of
// times; every reader of core records calls it before unarchiving.
void registerCoreArchiveClasses();
