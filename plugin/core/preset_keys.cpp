#include "core/preset_keys.h"

#include <cstring>

#include "core/parameter_table.h"

namespace {

struct KeyGroup {
    int kind;
    int count;
    bool perPatch;
};

// In the order of the key lists: patch host, patch internal, host globals, internal globals.
const KeyGroup kKeyGroups[] = {
    {kPatchParameter, kPatchParameterCount, true},
    {kPatchInternalParameter, kPatchInternalCount, true},
    {kGlobalParameter, kGlobalParameterCount, false},
    {kInternalGlobalParameter, kInternalGlobalCount, false},
};

int indexOfLocal(int kind, int local, int patch) {
    switch (kind) {
        case kPatchParameter: return kPatchParameterCount * patch + local;
        case kPatchInternalParameter: return kPatchInternalBase + kPatchInternalCount * patch + local;
        case kGlobalParameter: return kGlobalParameterBase + local;
        default: return kInternalGlobalBase + local;
    }
}

// The first parameter of the chosen groups whose key equals key and whose use is one of
// those asked for; -1 when none. Every key of the table is its own, so the order only
// follows the lists.
int findKey(const char* key, int patch, bool patchGroups, bool globalGroups, bool lookupOnlyToo) {
    if (!key) return -1;
    patch = clampPatchNumber(patch);
    for (const KeyGroup& group : kKeyGroups) {
        if (group.perPatch ? !patchGroups : !globalGroups) continue;
        for (int local = 0; local < group.count; local++) {
            const ParameterDescriptor* descriptor = parameterAt(group.kind, local);
            if (!descriptor->key) continue;
            if (descriptor->keyUse != KeyUse::preset && !(lookupOnlyToo && descriptor->keyUse == KeyUse::lookupOnly))
                continue;
            if (std::strcmp(descriptor->key, key) == 0) return indexOfLocal(group.kind, local, patch);
        }
    }
    return -1;
}

// Row keys ("MODULATION", two digits, "_", a kind) are looked for among the patch keys only,
// and whole: a row outside 01-10, another kind or a wrong length names nothing.
bool isModulationRowKey(const char* key) {
    return std::strncmp(key, "MODULATION", 10) == 0 && std::strlen(key) >= 11;
}

}  // namespace

int presetKeyIndex(const char* key, int patch) {
    if (!key) return -1;
    if (isModulationRowKey(key)) return findKey(key, patch, true, false, false);
    return findKey(key, patch, true, true, true);
}

int presetKeyStoreIndex(const char* key, int patch) {
    if (patch < 0) return findKey(key, 0, false, true, false);
    return findKey(key, patch, true, false, false);
}

const char* presetKeyOfLocal(int local, int patch, bool hostBlock, int* index) {
    int kind = patch >= 0 ? (hostBlock ? kPatchParameter : kPatchInternalParameter)
                          : (hostBlock ? kGlobalParameter : kInternalGlobalParameter);
    const ParameterDescriptor* descriptor = parameterAt(kind, local);
    if (index) *index = descriptor ? indexOfLocal(kind, local, clampPatchNumber(patch)) : -1;
    if (!descriptor || descriptor->keyUse != KeyUse::preset) return nullptr;
    return descriptor->key;
}
