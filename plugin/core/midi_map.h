// The MIDI map (which controller drives which parameters) and the smoothing slots that
// spread a controller's jumps over the following engine pieces. Plain data, no locks: the
// instrument guards them with its instance lock.
#pragma once

#include <cmath>
#include <cstdint>

const int kMidiControllerCount = 128;
const int kParametersPerController = 16;
// Every ParameterIndex 0-2108 has an entry, the unused gaps included.
const int kMappedIndexCount = 2109;

// Whether a parameter may follow a MIDI controller (the editor offers learning for these
// only, and the control file lists exactly these).
bool isMidiAssignableIndex(int index);

class MidiMap {
public:
    MidiMap() { clear(); }

    // Every entry of both tables empty (-1).
    void clear();

    // Moves a parameter to a controller (0-127), or takes it off its controller (-1). A
    // parameter has one controller at most, and has it only while that controller lists
    // it: one whose 16 entries are taken leaves the parameter without a controller.
    // Indices outside 0-2108 and controllers outside -1..127 are refused: false.
    bool assign(int index, int controller);

    // Takes every parameter off the controller. False when the controller is out of range.
    bool clearController(int controller);

    // The parameter's controller, -1 for none or an index out of range.
    int controllerOf(int index) const;

    // The 16 entries of a controller (-1 for empty ones); null out of range.
    const int32_t* parametersOf(int controller) const;

    bool operator==(const MidiMap& other) const;

private:
    bool listUnder(int index, int controller);

    int32_t paramController[kMappedIndexCount];
    int32_t controllerParams[kMidiControllerCount][kParametersPerController];
};

// Controller values reach their parameters through slots: a value whose controller has no
// active slot is applied unchanged at the next pass; further values of that controller
// while its slot is active glide there, a per-pass fraction of the gap at a time.
class ControllerSmoothing {
public:
    static const int kSlots = 128;

    // Every slot free, none in use; the two rates as fractions of the gap per pass. They
    // are fixed at 44.1 kHz on purpose: a pass runs per engine piece, not per sample.
    void start();

    // A controller's value, 0-1.
    void enter(int controller, float value);

    // One pass: for each active slot, its next value, handed to apply (controller, value).
    template <class Apply>
    void pass(Apply&& apply) {
        for (int s = 0; s < slotCount; s++) {
            // Taken before the slot is freed: the value still goes to this controller.
            const int controller = slotController[s];
            if (controller < 0) continue;
            const float gap = slotCurrent[s] - slotTarget[s];
            const float rate = std::fabs(gap) > 0.2f ? fastRate : slowRate;
            float next = slotCurrent[s] - rate * gap;
            if (std::fabs(next - slotTarget[s]) < 0.01f) {
                next = slotTarget[s];
                slotController[s] = -1;
            }
            apply(controller, next);
            slotCurrent[s] = next;
        }
    }

    int slotsInUse() const { return slotCount; }
    float fastRateValue() const { return fastRate; }
    float slowRateValue() const { return slowRate; }

private:
    float slotTarget[kSlots];
    float slotCurrent[kSlots];
    int32_t slotController[kSlots];
    int32_t slotCount;
    float fastRate;
    float slowRate;
};
