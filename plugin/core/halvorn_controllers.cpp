// MIDI controllers: bank select, the sustain pedal, learning, the smoothing passes, the
// learn operations of the editor, and the MIDI control file that keeps the map and the
// tuning from one run to the next.
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <string>

#include "core/control_file.h"
#include "core/halvorn.h"
#include "core/parameter_table.h"
#include "vstgui/aeffeditor.h"
#include "editor/ihalvorn_edit.h"
#include "presets/install_dir.h"
#include "presets/install_settings.h"

namespace {

const int kBankSelect = 0;
const int kBankSelectLsb = 32;
const int kSustainPedal = 64;
const int kParamBrowserBank = 2093;
const int kParamBrowserSubBank = 2094;
const int kGeneralTuneSlot = 8;  // VEXA_TUNE among the file's tuning values

}  // namespace

// Runs on the audio thread, under the lock that processEvents holds.
void Halvorn::handleController(int controller, int value) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    switch (controller) {
        case kBankSelect: selectBrowserByController(kParamBrowserBank, bankCount, value); return;
        case kBankSelectLsb: selectBrowserByController(kParamBrowserSubBank, subBankCount, value); return;
        case kSustainPedal:
            command.kind = value >= 64 ? 1 : 0;
            sendCommand(kCmdSustain);
            return;
        default: break;
    }
    if (learnArmed) {
        learnArmed = 0;
        for (int n = 0; n < learnCount; n++) setMidiCC(learnQueue[n], controller);
        learnCount = 0;
    }
    smoothing.enter(controller, (float)value / 127.f);
}

// Bank select moves the browser only: value 1 is the first entry (0 stores -1 / n, which the
// browser also reads as the first). A preset loads when a program change follows.
void Halvorn::selectBrowserByController(int index, int count, int value) {
    if (count < 1) return;  // nothing to select, and no division by zero
    const int position = value - 1;
    const float wanted = (float)position / (float)count;
    if (getParameter(index) == wanted) return;
    setParameter(index, position < count ? wanted : (float)(count - 1) / (float)count);
    if (IHalvornEdit* notify = dynamic_cast<IHalvornEdit*>(editor)) notify->presetChanged();
}

// Once before every piece of a processing call; costs nothing while no controller moves.
void Halvorn::updateControllerSmoothing() {
    if (smoothing.slotsInUse() == 0) return;
    smoothing.pass([this](int controller, float value) {
        const int32_t* parameters = midiMap.parametersOf(controller);
        if (!parameters) return;
        for (int n = 0; n < kParametersPerController; n++)
            if (parameters[n] != -1) setParameter(parameters[n], value);
    });
}

void Halvorn::setMidiCC(int index, int controller) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    if (midiMap.assign(index, controller)) midiMapModified = 1;
}

int Halvorn::getMidiCC(int index) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    return midiMap.controllerOf(index);
}

// The queue takes 15 parameters: a 16th or later request overwrites the last entry, which
// is never assigned.
int Halvorn::startMidiLearn(int index) {
    if (index < 0 || index >= kMappedIndexCount) return 0;
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    learnQueue[learnCount] = index;
    if (++learnCount == kLearnQueueSize) learnCount = kLearnQueueSize - 1;
    learnArmed = 1;
    return 1;
}

int Halvorn::stopMidiLearn() {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    learnCount = 0;
    learnArmed = 0;
    for (int& entry : learnQueue) entry = -1;
    return 0;
}

int Halvorn::clearAllMidiCC() {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    midiMap.clear();
    midiMapModified = 1;
    return -1;
}

void Halvorn::clearMidiCC(int controller) {
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    if (midiMap.clearController(controller)) midiMapModified = 1;
}

bool Halvorn::isMidiAssignable(int index) { return isMidiAssignableIndex(index); }

// Windows' MAX_PATH: the longest path the file functions take.
static const size_t kMaxPathLength = 260;

// The control file's absolute path, empty when there is no installation or it does not fit.
static std::string controlMidiPath(const InstallSettings& settings, const char* suffix) {
    const std::string dir = readInstallDir(settings);
    if (dir.empty()) return std::string();
    const std::string path = dir + settings.getPathSeparator() + settings.getControlMidiPath() + suffix;
    return path.size() < kMaxPathLength ? path : std::string();
}

static const char kTemporarySuffix[] = ".new";

FILE* Halvorn::openControlMidiForRead() {
    const std::string path = controlMidiPath(*installSettings, "");
    return path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
}

FILE* Halvorn::openControlMidiForWrite() {
    const std::string path = controlMidiPath(*installSettings, kTemporarySuffix);
    return path.empty() ? nullptr : std::fopen(path.c_str(), "w");
}

int Halvorn::readControlMidi() {
    float tuning[kControlTuningCount];
    std::string text;
    FILE* file = openControlMidiForRead();
    if (file) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, got);
        std::fclose(file);
    }
    std::lock_guard<std::recursive_mutex> guard(stateLock);
    // An empty file gives every tuning value 0; a missing one leaves the map empty and the
    // tuning at its centre (the general tune at 0.5).
    readControlFile(text.data(), text.size(), midiMap, tuning);
    if (!file) tuning[kGeneralTuneSlot] = 0.5f;
    if (ProgramRecord* record = currentRecord())
        for (int slot = 0; slot < kControlTuningCount; slot++)
            writeParameter(*record, kControlTuningIndices[slot], tuning[slot]);
    return file ? 0 : 1;
}

// The native profiling harness builds this file too, without Windows.
static bool replaceFileWith(const std::string& temporary, const std::string& path) {
#ifdef _WIN32
    return MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(temporary.c_str(), path.c_str()) == 0;
#endif
}

// Written to a file beside the old one, then moved over it: a failed write leaves the old
// file whole.
int Halvorn::writeControlMidi() {
    std::string text;
    {
        std::lock_guard<std::recursive_mutex> guard(stateLock);
        float tuning[kControlTuningCount] = {};
        if (ProgramRecord* record = currentRecord())
            for (int slot = 0; slot < kControlTuningCount; slot++)
                tuning[slot] = readParameter(*record, kControlTuningIndices[slot]);
        text = writeControlFile(midiMap, tuning);
    }
    FILE* file = openControlMidiForWrite();
    if (!file) return 1;
    const std::string path = controlMidiPath(*installSettings, "");
    const std::string temporary = controlMidiPath(*installSettings, kTemporarySuffix);
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    if (!written || !replaceFileWith(temporary, path)) {
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
