#include "engine/input_list.h"

void InputList::clear() {
    for (int i = 0; i < kCapacity; ++i) {
        ports[i] = nullptr;
        tags[i] = -1;
    }
    count = 0;
}

int InputList::add(SignalPort* port, int tag) {
    if (count >= kCapacity) return 1;
    if (!port) return 0;
    ports[count] = port;
    tags[count] = tag;
    ++count;
    return 0;
}

void InputList::remove(int tag) {
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (tags[i] == tag) continue;
        ports[kept] = ports[i];
        tags[kept] = tags[i];
        ++kept;
    }
    for (int i = kept; i < kCapacity; ++i) {
        ports[i] = nullptr;
        tags[i] = -1;
    }
    count = kept;
}
