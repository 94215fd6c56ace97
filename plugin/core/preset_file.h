// A preset's parameter file and the patch files it names, read into key-value pairs in
// file order, as the load applies them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/preset_keys.h"

class CCPFileIO;

struct PresetFileValue {
    char key[kPresetKeySize];
    float value;
    int patch;  // the patch whose file held the pair, -1 for the parameter file
};

struct PresetFileContents {
    std::vector<PresetFileValue> values;
    std::vector<std::string> attributes;  // the words after "@ATTR" in the header
    int usedPatches = 0;                  // distinct patches the parts play
    int patchLoaded[8] = {0};
};

// Reads the open parameter file to its end (or to the first value that is not there). For
// each patch a part plays, the first time it is named, openPatch (patch file number 1-8)
// answers its file, or null when there is none; the reader closes and deletes it. Keys
// are cut to 31 characters, attribute words to 256 (a preset takes at most 255), patch
// numbers taken within 0-7, and the number of pairs is
// bounded: no file makes it read past a buffer or without end.
void readPresetFile(CCPFileIO* file, const std::function<CCPFileIO*(int)>& openPatch, PresetFileContents* contents);
