#include "audio_manager.h"

#include <algorithm>
#include <cstring>

// ---- channels

int AudioIn::getReadable(int n) { return std::min(n, ring.readable()); }

void AudioIn::read(int n, float** region, int* count) {
    if (ring.readable() >= n) ring.ensureReadable(n);
    int take = std::min(n, ring.contiguousReadable());
    if (take <= 0) {
        *region = nullptr;
        *count = 0;
        return;
    }
    RingRegion part = ring.takeReadRegion(take);
    *region = part.first;
    *count = part.firstCount;
}

void AudioOut::getWriteRegion(int n, float** region, int* count) {
    int take = std::min(n, ring.contiguousWritable());
    if (take <= 0) {
        *region = nullptr;
        *count = 0;
        return;
    }
    // Only the frames handed out count as written: the rest would be frames nobody filled.
    RingRegion part = ring.takeWriteRegion(take);
    *region = part.first;
    *count = part.firstCount;
}

// ---- back-end base

AudioManager::AudioManager(Audio* owner) : owner(owner) {
    for (int i = 0; i < kMaxChannels; i++) {
        outputPointers[i] = nullptr;
        inputPointers[i] = nullptr;
        outputs[i] = nullptr;
        inputs[i] = nullptr;
    }
}

AudioManager::~AudioManager() {
    for (int i = 0; i < outputCount; i++) delete outputs[i];
    for (int i = 0; i < inputCount; i++) delete inputs[i];
}

bool AudioManager::addOutput(AudioOut* output) {
    if (outputCount >= kMaxChannels) {
        delete output;
        return false;
    }
    outputs[outputCount++] = output;
    return true;
}

bool AudioManager::addInput(AudioIn* input) {
    if (inputCount >= kMaxChannels) {
        delete input;
        return false;
    }
    inputs[inputCount++] = input;
    return true;
}

namespace {
// Runs the call on each channel in order; the first nonzero code ends the walk.
template <class Channel, class Call>
int untilFailure(Channel* const* channels, int count, Call call) {
    for (int i = 0; i < count; i++)
        if (channels[i])
            if (int code = call(channels[i])) return code;
    return 0;
}
}  // namespace

int AudioManager::prepare(int bufferFrames) {
    if (int code = untilFailure(inputs, inputCount, [&](AudioIn* c) { return c->prepare(bufferFrames); })) return code;
    return untilFailure(outputs, outputCount, [&](AudioOut* c) { return c->prepare(bufferFrames); });
}

int AudioManager::unprepare() {
    if (int code = untilFailure(inputs, inputCount, [](AudioIn* c) { return c->unprepare(); })) return code;
    return untilFailure(outputs, outputCount, [](AudioOut* c) { return c->unprepare(); });
}

std::string AudioManager::getOutputName(int index) {
    return index >= 0 && index < outputCount ? outputs[index]->getName() : std::string();
}

std::string AudioManager::getInputName(int index) {
    return index >= 0 && index < inputCount ? inputs[index]->getName() : std::string();
}

int AudioManager::start() {
    if (int code = untilFailure(inputs, inputCount, [](AudioIn* c) { return c->start(); })) return code;
    return untilFailure(outputs, outputCount, [](AudioOut* c) { return c->start(); });
}

int AudioManager::stop() {
    if (int code = untilFailure(inputs, inputCount, [](AudioIn* c) { return c->stop(); })) return code;
    return untilFailure(outputs, outputCount, [](AudioOut* c) { return c->stop(); });
}

int AudioManager::unloadDriver() {
    for (int i = 0; i < inputCount; i++) {
        delete inputs[i];
        inputs[i] = nullptr;
    }
    for (int i = 0; i < outputCount; i++) {
        delete outputs[i];
        outputs[i] = nullptr;
    }
    inputCount = 0;
    outputCount = 0;
    return 0;
}

int AudioManager::getFramesAvailable() {
    int n = 0;
    for (int i = 0; i < outputCount; i++) n = std::max(n, outputs[i]->getFreeSpace());
    for (int i = 0; i < inputCount; i++) n = std::min(n, inputs[i]->getReadable(n));
    return n;
}

void AudioManager::pullInputs() {
    for (int i = 0; i < inputCount; i++) inputs[i]->pullFromDevice();
}

void AudioManager::pushOutputs() {
    for (int i = 0; i < outputCount; i++) outputs[i]->pushToDevice();
}

void AudioManager::process() {
    pullInputs();
    int n = getFramesAvailable();
    while (n > 0) {
        // Every output hands out the same n frames: lower n to what the tightest one takes
        // in one piece before any input is consumed or any region taken.
        for (int i = 0; i < outputCount; i++) n = std::min(n, outputs[i]->getRing().contiguousWritable());
        if (n <= 0) break;
        for (int i = 0; i < inputCount; i++) {
            int count = 0;
            inputs[i]->read(n, &inputPointers[i], &count);
            if (count < n) return;  // an input came short: nothing more this time
        }
        for (int i = inputCount; i < kMaxChannels; i++) inputPointers[i] = nullptr;
        for (int i = 0; i < outputCount; i++) {
            int count = 0;
            outputs[i]->getWriteRegion(n, &outputPointers[i], &count);
            std::memset(outputPointers[i], 0, sizeof(float) * (size_t)count);
        }
        for (int i = outputCount; i < kMaxChannels; i++) outputPointers[i] = nullptr;
        if (owner) owner->callCallback(inputPointers, inputCount, outputPointers, outputCount, n);
        n = getFramesAvailable();
    }
    pushOutputs();
}

// ---- looping device buffers

void LoopingBufferFeed::reset(int frames, int maximum) {
    *this = LoopingBufferFeed();
    bufferFrames = frames;
    maxLatency = maximum;
}

int LoopingBufferFeed::getLargestStep() const {
    int largest = 0;
    for (int step : steps) largest = std::max(largest, step);
    return largest;
}

int LoopingBufferFeed::tick(int playCursor, int writeCursor, int latency) {
    if (bufferFrames <= 0) return 0;
    int play = (playCursor % bufferFrames + bufferFrames) % bufferFrames;
    int safe = (writeCursor % bufferFrames + bufferFrames) % bufferFrames;
    int moved = (play - lastPlay + bufferFrames) % bufferFrames;
    played += moved;
    lastPlay = play;
    if (moved > 0) {
        steps[stepIndex] = moved;
        stepIndex = (stepIndex + 1) % kStepHistory;
    }
    lead = (safe - play + bufferFrames) % bufferFrames;
    ahead -= moved;
    if (ahead < lead) {
        // The play cursor has overtaken what was written: writing resumes at the write cursor.
        if (writing) underruns++;
        writePosition = safe;
        ahead = lead;
    }
    // Topped up in whole slices, a step must still find frames of ours after it: the
    // queue may lie up to a slice below the held latency when the step comes.
    int deviceHolds = (getLargestStep() + 2 * (kSliceFrames - 1)) / kSliceFrames * kSliceFrames;
    held = std::max(latency, std::min(deviceHolds, maxLatency));
    // At most the held latency in one tick (the latency itself when the device can hold
    // it): after a step larger than the latency the buffer must regain the whole step before
    // the next one, and a late tick must not leave it behind.
    int frames = held - getQueued();
    return std::max(0, frames / kSliceFrames * kSliceFrames);
}

void LoopingBufferFeed::wrote(int frames) {
    if (frames <= 0 || bufferFrames <= 0) return;
    writePosition = (writePosition + frames) % bufferFrames;
    ahead += frames;
    writing = true;
}

// ---- protocols

Audio::Audio() = default;

Audio::~Audio() {
    stopDriver();
    closeProtocol();
    for (int i = 0; i < backEndCount; i++) {
        delete backEnds[i];
        backEnds[i] = nullptr;
    }
}

void Audio::setBackEnd(int index, AudioManager* backEnd) {
    if (index < 0 || index >= backEndCount) {
        delete backEnd;
        return;
    }
    if (index == protocol) closeProtocol();
    delete backEnds[index];
    backEnds[index] = backEnd;
}

AudioManager* Audio::getBackEnd(int index) const {
    return index >= 0 && index < backEndCount ? backEnds[index] : nullptr;
}

AudioManager* Audio::current() const { return getBackEnd(protocol); }

int Audio::selectProtocol(int index) {
    if (index == protocol) return 0;
    if (!getBackEnd(index)) return kHostErrorBadArgument;
    closeProtocol();
    int code = backEnds[index]->refreshDrivers();
    protocol = index;
    return code;
}

int Audio::selectDriver(int index) {
    if (index == driver) return 0;
    stopDriver();
    AudioManager* backEnd = current();
    if (index < 0 || !backEnd) return 0;
    int code = backEnd->selectDriver(index);
    if (!code) code = backEnd->prepare(0);
    if (!code) code = backEnd->start();
    if (code) {
        // A half-opened device is closed again: its timer or callbacks must not outlive it.
        backEnd->stop();
        backEnd->unprepare();
        driver = -1;
        return code;
    }
    driver = index;
    return 0;
}

int Audio::stopDriver() {
    AudioManager* backEnd = current();
    if (driver < 0 || !backEnd) {
        driver = -1;
        return 0;
    }
    backEnd->stop();
    int code = backEnd->unprepare();
    driver = -1;
    return code;
}

void Audio::closeProtocol() {
    AudioManager* backEnd = current();
    if (!backEnd) return;
    stopDriver();
    backEnd->unloadDriver();
    protocol = -1;
}

void Audio::setCallback(AudioCallback newCallback, void* user) {
    callbackUser.store(user);
    callback.store(newCallback);
}

void Audio::clearCallback() { callback.store(nullptr); }

void Audio::setSampleRateCallback(SampleRateCallback newCallback, void* user) {
    rateCallback = newCallback;
    rateCallbackUser = user;
}

void Audio::sampleRateChanged(float rate) {
    if (rateCallback) rateCallback(rate, rateCallbackUser);
}

void Audio::callCallback(float** inputs, int inputCount, float** outputs, int outputCount, int frames) {
    AudioCallback call = callback.load();
    if (call) call(inputs, inputCount, outputs, outputCount, frames, callbackUser.load());
}

std::string Audio::getProtocolName(int index) const {
    AudioManager* backEnd = getBackEnd(index);
    return backEnd ? backEnd->getName() : "";
}

int Audio::getDriverCount() const { return current() ? current()->getDriverCount() : 0; }

std::string Audio::getDriverName(int index) const { return current() ? current()->getDriverName(index) : ""; }

void Audio::getLatencyRange(int* minimum, int* maximum, int* granularity) const {
    AudioManager* backEnd = current();
    if (!backEnd) return;
    if (minimum) *minimum = backEnd->getMinLatency();
    if (maximum) *maximum = backEnd->getMaxLatency();
    if (granularity) *granularity = backEnd->getLatencyGranularity();
}

int Audio::getLatency() const { return current() ? current()->getLatency() : 0; }
int Audio::setLatency(int frames) { return current() ? current()->setLatency(frames) : 0; }
int Audio::getOutputCount() const { return current() ? current()->getOutputCount() : 0; }
int Audio::getInputCount() const { return current() ? current()->getInputCount() : 0; }
std::string Audio::getOutputName(int index) const { return current() ? current()->getOutputName(index) : ""; }
std::string Audio::getInputName(int index) const { return current() ? current()->getInputName(index) : ""; }
bool Audio::hasControlPanel() const { return current() ? current()->hasControlPanel() : false; }
int Audio::openControlPanel() { return current() ? current()->openControlPanel() : 0; }
int Audio::canSampleRate(float rate) const {
    return current() ? current()->canSampleRate(rate) : kHostErrorSampleRate;
}
int Audio::setSampleRate(float rate) { return current() ? current()->setSampleRate(rate) : 0; }
float Audio::getSampleRate() const { return current() ? current()->getSampleRate() : 0.f; }
