#include "core/midi_map.h"

#include <cstring>

namespace {

bool validIndex(int index) { return index >= 0 && index < kMappedIndexCount; }
bool validController(int controller) { return controller >= 0 && controller < kMidiControllerCount; }

}  // namespace

bool isMidiAssignableIndex(int index) {
    if (index >= 0 && index <= 495) return true;                 // patch host parameters
    if (index >= 496 && index <= 548) return index != 546 && index != 547;  // not the bend, the wheel
    if (index >= 1000 && index <= 1351) {
        switch ((index - 1000) % 44) {
            case 0: case 1: case 2: case 7:      // OSC1_SAW_TRI, OSC1_SQR, OSC1_KEYB, LFO1_WAVE
            case 10: case 11: case 12: case 17:  // the same for line 2
                return true;
            default: return false;
        }
    }
    return index == 2040 || index == 2041 || index == 2043 || (index >= 2045 && index <= 2051) ||
           (index >= 2081 && index <= 2087);
}

void MidiMap::clear() {
    for (int32_t& entry : paramController) entry = -1;
    for (auto& list : controllerParams)
        for (int32_t& entry : list) entry = -1;
}

bool MidiMap::listUnder(int index, int controller) {
    for (int32_t& entry : controllerParams[controller])
        if (entry == -1) {
            entry = index;
            return true;
        }
    return false;
}

bool MidiMap::assign(int index, int controller) {
    if (!validIndex(index) || (controller != -1 && !validController(controller))) return false;
    const int old = paramController[index];
    if (validController(old))
        for (int32_t& entry : controllerParams[old])
            if (entry == index) {
                entry = -1;
                break;
            }
    paramController[index] = controller >= 0 && listUnder(index, controller) ? controller : -1;
    return true;
}

bool MidiMap::clearController(int controller) {
    if (!validController(controller)) return false;
    for (int32_t& entry : controllerParams[controller]) {
        if (entry == -1) continue;
        if (validIndex(entry)) paramController[entry] = -1;
        entry = -1;
    }
    return true;
}

int MidiMap::controllerOf(int index) const { return validIndex(index) ? paramController[index] : -1; }

const int32_t* MidiMap::parametersOf(int controller) const {
    return validController(controller) ? controllerParams[controller] : nullptr;
}

bool MidiMap::operator==(const MidiMap& other) const {
    return std::memcmp(paramController, other.paramController, sizeof(paramController)) == 0 &&
           std::memcmp(controllerParams, other.controllerParams, sizeof(controllerParams)) == 0;
}

void ControllerSmoothing::start() {
    for (int s = 0; s < kSlots; s++) {
        slotTarget[s] = 0.f;
        slotCurrent[s] = 0.f;
        slotController[s] = -1;
    }
    slotCount = 0;
    fastRate = (float)(1.0 - std::exp(-1000.0 / 44100.0));
    slowRate = (float)(1.0 - std::exp(-125.0 / 44100.0));
}

void ControllerSmoothing::enter(int controller, float value) {
    bool found = false;
    for (int s = 0; s < slotCount; s++)
        if (slotController[s] == controller) {
            slotTarget[s] = value;
            found = true;
        }
    if (found) return;
    for (int s = 0; s < slotCount; s++)
        if (slotController[s] == -1) {
            slotController[s] = controller;
            slotTarget[s] = slotCurrent[s] = value;
            return;
        }
    // The last slot is written but never in use: a 128th controller at once is dropped.
    slotTarget[slotCount] = slotCurrent[slotCount] = value;
    slotController[slotCount] = controller;
    if (++slotCount == kSlots) slotCount = kSlots - 1;
}
