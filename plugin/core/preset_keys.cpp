#include "core/preset_keys.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

// The keyed parameters of all groups ordered by key and, among equal keys, in the order of
// the lists: a load looks up a thousand keys or more, each a binary search instead of a
// pass over the table.
class KeyIndex {
public:
    struct Entry {
        const char* key;
        int group;  // in kKeyGroups
        int local;
    };

    KeyIndex() {
        for (int g = 0; g < kGroupCount; g++)
            for (int local = 0; local < kKeyGroups[g].count; local++) {
                const ParameterDescriptor* descriptor = parameterAt(kKeyGroups[g].kind, local);
                if (descriptor && descriptor->key) entries[count++] = {descriptor->key, g, local};
            }
        std::stable_sort(entries, entries + count, before);
    }

    std::pair<const Entry*, const Entry*> withKey(const char* key) const {
        const Entry wanted = {key, 0, 0};
        return std::equal_range(entries, entries + count, wanted, before);
    }

private:
    static bool before(const Entry& a, const Entry& b) { return std::strcmp(a.key, b.key) < 0; }

    static const int kGroupCount = sizeof(kKeyGroups) / sizeof(kKeyGroups[0]);
    static const int kCapacity = kPatchParameterCount + kPatchInternalCount + kGlobalParameterCount + kInternalGlobalCount;
    Entry entries[kCapacity];
    int count = 0;
};

const KeyIndex& keyIndex() {
    static const KeyIndex index;
    return index;
}

// The first parameter of the chosen groups whose key equals key and whose use is one of
// those asked for; -1 when none. Every key of the table is its own, so the order only
// follows the lists.
int findKey(const char* key, int patch, bool patchGroups, bool globalGroups, bool lookupOnlyToo) {
    if (!key) return -1;
    patch = clampPatchNumber(patch);
    const auto range = keyIndex().withKey(key);
    for (const KeyIndex::Entry* entry = range.first; entry != range.second; entry++) {
        const KeyGroup& group = kKeyGroups[entry->group];
        if (group.perPatch ? !patchGroups : !globalGroups) continue;
        const ParameterDescriptor* descriptor = parameterAt(group.kind, entry->local);
        if (descriptor->keyUse != KeyUse::preset && !(lookupOnlyToo && descriptor->keyUse == KeyUse::lookupOnly))
            continue;
        return indexOfLocal(group.kind, entry->local, patch);
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
