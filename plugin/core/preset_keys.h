// The key words of the preset files and the MIDI control file, read from the parameter
// descriptor table: key to ParameterIndex and back. Keys are compared whole, byte for byte.
#pragma once

// Key words are read and written in buffers of this size; the longest key has 24 characters.
const int kPresetKeySize = 32;

// The ParameterIndex that a key names, or -1 for a key that is not known. Patch keys are
// numbered for patch (clamped to 0-7); global keys ignore it. Keys that begin with
// "MODULATION" are only looked for among the modulation-row keys, so MODULATION_WHEEL_CONTROL
// is not found here; the browser positions are; the tuning keys are not.
int presetKeyIndex(const char* key, int patch);

// The ParameterIndex into which a preset file's key stores its value, or -1: a patch key
// for patch 0-7 (above 7 counts as 7), a global key for a patch below 0. Keys of the other
// group, the browser positions and the tuning keys store nothing.
int presetKeyStoreIndex(const char* key, int patch);

// The key of the parameter at a local index of one group (patch 0-7 or a global group
// below 0; the host or the internal parameters), or null when it has none in the preset
// files. *index receives the ParameterIndex, -1 for a local outside the group.
const char* presetKeyOfLocal(int local, int patch, bool hostBlock, int* index);

// The patch-to-part keys NUM_PATCH_VOIE1-8: their part 0-7, or -1 for any other index.
inline int partOfPatchKey(int index) { return index >= 2000 && index < 2008 ? index - 2000 : -1; }
