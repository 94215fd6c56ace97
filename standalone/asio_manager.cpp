#include "asio_manager.h"

#include <afxwin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "asio_convert.h"

namespace {

// The one manager that the driver's C callbacks reach.
std::atomic<AsioManager*> registered{nullptr};

const UINT kResetMessage = WM_APP + 0x104;
const char kResetWindowClass[] = "HalvornAsioReset";

void asioBufferSwitch(ASIOLong index, ASIOBool directProcess) {
    if (AsioManager* manager = registered.load())
        manager->bufferSwitch(index, directProcess);
}

void asioSampleRateDidChange(ASIOSampleRate) {}

ASIOLong asioMessageCallback(ASIOLong selector, ASIOLong value, void* message, double* opt) {
    AsioManager* manager = registered.load();
    return manager ? manager->asioMessage(selector, value, message, opt) : 0;
}

ASIOTime* asioBufferSwitchTimeInfo(ASIOTime* time, ASIOLong index, ASIOBool directProcess) {
    AsioManager* manager = registered.load();
    return manager ? manager->bufferSwitchTimeInfo(time, index, directProcess) : nullptr;
}

std::string channelName(const ASIOChannelInfo& info) {
    return std::string(info.name, strnlen(info.name, sizeof info.name));
}

}  // namespace

// ---- the back end

AsioManager::AsioManager(Audio* owner, HWND window) : AudioManager(owner), window(window) {
    std::memset(&callbacks, 0, sizeof callbacks);
    std::memset(&driverInfo, 0, sizeof driverInfo);
    std::memset(channelInfos, 0, sizeof channelInfos);
    std::memset(bufferInfos, 0, sizeof bufferInfos);
    for (int i = 0; i < kMaxChannels; ++i)
        inputMap[i] = outputMap[i] = -1;
    registered.store(this);

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = resetWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kResetWindowClass;
    RegisterClassA(&windowClass);  // fails harmlessly when a second manager registers it again
    resetWindow = CreateWindowExA(0, kResetWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    if (resetWindow)
        SetWindowLongPtrA(resetWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    refreshDriverNames();
}

AsioManager::~AsioManager() {
    unloadDriver();
    if (resetWindow)
        DestroyWindow(resetWindow);
    AsioManager* self = this;
    registered.compare_exchange_strong(self, nullptr);
}

LRESULT CALLBACK AsioManager::resetWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kResetMessage) {
        if (auto* manager = reinterpret_cast<AsioManager*>(GetWindowLongPtrA(window, GWLP_USERDATA)))
            manager->resetRequest();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int AsioManager::mapError(ASIOError error) {
    switch (error) {
    case ASE_OK:
    case ASE_SUCCESS: return 0;
    case ASE_NotPresent: return kHostErrorAsioNotPresent;
    case ASE_HWMalfunction: return kHostErrorAsioHwMalfunction;
    case ASE_InvalidParameter: return kHostErrorAsioInvalidParameter;
    case ASE_InvalidMode: return kHostErrorAsioInvalidMode;
    case ASE_SPNotAdvancing: return kHostErrorAsioNotAdvancing;
    case ASE_NoClock: return kHostErrorAsioNoClock;
    case ASE_NoMemory: return kHostErrorAsioNoMemory;
    default: return kHostErrorAsioOther;
    }
}

void AsioManager::refreshDriverNames() {
    if (!drivers)
        drivers.reset(new AsioDrivers);
    driverNames.clear();
    for (int i = 0; i < drivers->count() && i < kMaxDrivers; ++i)
        driverNames.push_back(drivers->name(i));
}

int AsioManager::refreshDrivers() {
    refreshDriverNames();
    return 0;
}

std::string AsioManager::getDriverName(int index) {
    if (index < 0 || index >= getDriverCount())
        return "none (index error)";
    const std::string& name = driverNames[index];
    if (name.find("Asio") != std::string::npos || name.find("ASIO") != std::string::npos)
        return name;
    return "Asio " + name;
}

int AsioManager::selectDriver(int index) {
    if (index == selected)
        return 0;
    unloadDriver();
    latencyMin = latencyMax = latencyPreferred = latencyGranularity = 0;
    latencyCurrent = -1;
    if (driverNames.empty())
        refreshDriverNames();
    if (index < 0 || index >= getDriverCount() || !loadDriver(driverNames[index]))
        return kHostErrorAsioLoad;
    selected = index;
    return 0;
}

bool AsioManager::loadDriver(const std::string& name) {
    bool opened = drivers->loadDriver(name);
    if (!opened) {
        ASIOExit();
        opened = drivers->loadDriver(name);
    }
    inputChannels = outputChannels = 0;
    bufferSize = 0;
    halfIndex = 1;
    std::memset(&driverInfo, 0, sizeof driverInfo);
    driverInfo.asioVersion = 2;
    driverInfo.sysRef = window;
    if (!opened || ASIOInit(&driverInfo) != ASE_OK) {
        ASIOExit();
        loaded = false;
        return false;
    }
    loaded = true;

    ASIOSampleRate rate = 0;
    ASIOError error = ASIOGetSampleRate(&rate);
    if (error != ASE_OK) {
        char text[64];
        std::snprintf(text, sizeof text, "ASIO cannot get sample rate\n(Error %d)", static_cast<int>(error));
        AfxMessageBox(text, MB_OK | MB_ICONSTOP);
        driverRate = 44100.0;
    } else if (rate <= 0.0 || rate > 96000.0) {
        driverRate = ASIOSetSampleRate(44100.0) == ASE_OK ? 44100.0 : rate;
    } else {
        driverRate = rate;
    }
    outputReadySupported = ASIOOutputReady() == ASE_OK;

    callbacks.bufferSwitch = asioBufferSwitch;
    callbacks.sampleRateDidChange = asioSampleRateDidChange;
    callbacks.asioMessage = asioMessageCallback;
    callbacks.bufferSwitchTimeInfo = asioBufferSwitchTimeInfo;
    createChannels();
    return true;
}

int AsioManager::createChannels() {
    ASIOLong ins = 0, outs = 0;
    ASIOError error = ASIOGetChannels(&ins, &outs);
    if (error != ASE_OK)
        return error;
    readBufferSizes();
    inputChannels = std::max(0, std::min<int>(ins, kMaxChannels));
    outputChannels = std::max(0, std::min<int>(outs, kMaxChannels));
    for (int i = 0; i < inputChannels + outputChannels; ++i) {
        bool input = i < inputChannels;
        int channel = input ? i : i - inputChannels;
        ASIOChannelInfo& info = channelInfos[i];
        std::memset(&info, 0, sizeof info);
        info.channel = channel;
        info.isInput = input ? ASIOTrue : ASIOFalse;
        bufferInfos[i].isInput = info.isInput;
        bufferInfos[i].channelNum = channel;
        bufferInfos[i].buffers[0] = bufferInfos[i].buffers[1] = nullptr;
        ASIOGetChannelInfo(&info);
        info.isActive = ASIOTrue;
        if (input) {
            inputMap[channel] = i;
            addInput(new AsioAudioIn(channel, channelName(info), this, info));
        } else {
            outputMap[channel] = i;
            addOutput(new AsioAudioOut(channel, channelName(info), this, info));
        }
    }
    return 0;
}

void AsioManager::readBufferSizes() {
    ASIOLong minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
    if (ASIOGetBufferSize(&minSize, &maxSize, &preferred, &granularity) != ASE_OK)
        return;
    int previousPreferred = driverPreferredSize;
    latencyMin = driverMinSize = minSize;
    latencyMax = driverMaxSize = maxSize;
    latencyPreferred = driverPreferredSize = preferred;
    latencyGranularity = driverGranularity = granularity;
    if (latencyCurrent == -1 || latencyCurrent == previousPreferred)
        latencyCurrent = preferred;
}

int AsioManager::prepare(int) {
    if (selected < 0 || !loaded)
        return kHostErrorAsioNoDriver;
    if (buffersCreated) {
        ASIODisposeBuffers();
        buffersCreated = false;
    }
    ASIOSampleRate rate = 0;
    if (ASIOGetSampleRate(&rate) == ASE_OK && rate != sampleRate) {
        if (ASIOCanSampleRate(sampleRate) == ASE_OK) {
            ASIOError error = ASIOSetSampleRate(sampleRate);
            if (error != ASE_OK)
                return mapError(error);
            driverRate = sampleRate;
        } else if (rate > 0.0) {
            // A driver that cannot run at our rate (many run at 48000 only) is played at its
            // own, and the instruments are told before its first buffer, or they play out of tune.
            sampleRate = static_cast<float>(rate);
            driverRate = rate;
            if (owner)
                owner->sampleRateChanged(sampleRate);
        }
    }
    // Again at every preparation: a driver asks for a reset when its buffer size was changed
    // in its control panel, and the old size may no longer be accepted.
    readBufferSizes();
    int size;
    if (driverMinSize == driverMaxSize && driverMaxSize == driverPreferredSize)
        size = driverPreferredSize;
    else
        size = latencyCurrent == -1 ? driverPreferredSize : latencyCurrent.load();
    bufferSize = size;
    if (int code = AudioManager::prepare(size))
        return code;
    ASIOError error = ASIOCreateBuffers(bufferInfos, inputChannels + outputChannels, size, &callbacks);
    if (error != ASE_OK)
        return mapError(error);
    buffersCreated = true;
    halfIndex = 1;  // fresh buffers: the driver's first switch asks for half 0
    ASIOLong in = 0, out = 0;
    if (ASIOGetLatencies(&in, &out) == ASE_OK) {
        inputLatency = in;
        outputLatency = out;
    }
    return 0;
}

int AsioManager::start() {
    if (selected < 0 || !buffersCreated)
        return kHostErrorAsioNotPrepared;
    process();  // fills the half the driver plays first
    pumpOn = true;
    ASIOError error = ASIOStart();
    if (error != ASE_OK) {
        haltPump();
        return mapError(error);
    }
    started = true;
    return 0;
}

void AsioManager::haltPump() {
    pumpOn = false;
    while (switchesInside.load() > 0)
        SwitchToThread();
}

int AsioManager::stop() {
    if (started)
        ASIOStop();
    // Also against a driver that switches once more after its stop.
    haltPump();
    started = false;
    return 0;
}

int AsioManager::unprepare() {
    if (started)
        stop();
    if (buffersCreated) {
        ASIODisposeBuffers();
        buffersCreated = false;
    }
    return AudioManager::unprepare();
}

int AsioManager::unloadDriver() {
    unprepare();
    AudioManager::unloadDriver();
    inputChannels = outputChannels = 0;
    if (loaded)
        ASIOExit();
    loaded = false;
    selected = -1;
    return 0;
}

int AsioManager::openControlPanel() {
    return mapError(ASIOControlPanel());
}

int AsioManager::canSampleRate(float rate) {
    if (!loaded)
        return kHostErrorAsioNotLoaded;
    return ASIOCanSampleRate(rate) == ASE_OK ? 0 : kHostErrorSampleRate;
}

int AsioManager::setSampleRate(float rate) {
    if (!loaded)
        return kHostErrorAsioNoDriver;
    if (ASIOCanSampleRate(rate) != ASE_OK)
        return kHostErrorSampleRate;
    // The pump reads the rate on the driver's thread: it pauses for the change.
    bool running = pumpOn.load();
    haltPump();
    float old = sampleRate;
    sampleRate = rate;
    ASIOError error = ASIOSetSampleRate(rate);
    if (error != ASE_OK)
        sampleRate = old;
    else
        driverRate = rate;
    pumpOn = running;
    return mapError(error);
}

void AsioManager::bufferSwitch(ASIOLong index, ASIOBool directProcess) {
    ASIOTime time;
    std::memset(&time, 0, sizeof time);
    if (ASIOGetSamplePosition(&time.timeInfo.samplePosition, &time.timeInfo.systemTime) == ASE_OK)
        time.timeInfo.flags = kSystemTimeValid | kSamplePositionValid;
    bufferSwitchTimeInfo(&time, index, directProcess);
}

ASIOTime* AsioManager::bufferSwitchTimeInfo(ASIOTime* time, ASIOLong index, ASIOBool) {
    switchesInside.fetch_add(1);
    if (pumpOn.load()) {
        halfIndex = index & 1;
        process();
        if (outputReadySupported)
            ASIOOutputReady();
    }
    switchesInside.fetch_sub(1);
    return time;
}

ASIOLong AsioManager::asioMessage(ASIOLong selector, ASIOLong value, void*, double*) {
    switch (selector) {
    case kAsioSelectorSupported:
        return value == kAsioEngineVersion || value == kAsioResetRequest || value == kAsioResyncRequest ||
               value == kAsioLatenciesChanged || value == kAsioSupportsTimeInfo ||
               value == kAsioSupportsTimeCode || value == kAsioMMCCommand;
    case kAsioEngineVersion:
        return 2;
    case kAsioResetRequest:
        // The driver asks from its own thread, often from inside a switch: stopping there
        // would wait for itself. The user-interface thread does the reset.
        resetPending = true;
        if (resetWindow)
            PostMessageA(resetWindow, kResetMessage, 0, 0);
        return 1;
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
    case kAsioSupportsTimeInfo:
        return 1;
    default:
        return 0;
    }
}

void AsioManager::resetRequest() {
    if (!resetPending.exchange(false) || !buffersCreated)
        return;
    bool wasStarted = started;
    stop();
    unprepare();
    selectDriver(selected);
    if (prepare(0) == 0 && wasStarted)
        start();
}

void* AsioManager::getChannelBuffer(int bufferInfoIndex, int half) const {
    if (bufferInfoIndex < 0 || bufferInfoIndex >= inputChannels + outputChannels || !buffersCreated)
        return nullptr;
    return bufferInfos[bufferInfoIndex].buffers[half & 1];
}

int AsioManager::getBufferInfoIndex(bool input, int channel) const {
    if (channel < 0 || channel >= (input ? inputChannels : outputChannels))
        return -1;
    return input ? inputMap[channel] : outputMap[channel];
}

// ---- channels

AsioAudioIn::AsioAudioIn(int index, const std::string& name, AsioManager* manager, const ASIOChannelInfo& info)
    : AudioIn(index, name), manager(manager), info(info) {}

int AsioAudioIn::prepare(int bufferFrames) {
    requestedFrames = std::max(0, bufferFrames);
    // Whole engine blocks of 44 frames.
    roundedFrames = (requestedFrames + 43) / 44 * 44;
    roundedBytes = roundedFrames * static_cast<int>(sizeof(float));
    if (!ring.init(4 * roundedFrames, roundedFrames))
        return kHostErrorAsioNoMemory;
    return 0;
}

int AsioAudioIn::unprepare() {
    ring.free();
    return 0;
}

void AsioAudioIn::readWithGain(float* destination, int n) {
    int available = std::min(n, ring.readable());
    ring.copyOut(destination, available);
    std::fill(destination + available, destination + n, 0.f);
    // The gain glides to its target over the block.
    float step = n > 0 ? (targetGain - gain) / n : 0.f;
    for (int i = 0; i < n; ++i) {
        destination[i] *= gain;
        gain += step;
        peak = std::max(peak, std::fabs(destination[i]));
    }
    gain = targetGain;
}

void AsioAudioIn::pullFromDevice() {
    void* buffer = manager->getChannelBuffer(manager->getBufferInfoIndex(true, index), manager->halfIndex.load());
    if (!buffer || ring.getCapacity() <= 0)
        return;
    // Never past the reader: frames that find no room are dropped.
    int room = ring.getCapacity() - 1 - ring.readable();
    int n = std::min(requestedFrames, std::max(0, room));
    RingRegion region = ring.takeWriteRegion(n);
    asioToFloat(buffer, info.type, region.first, region.firstCount, region.second, region.secondCount);
}

AsioAudioOut::AsioAudioOut(int index, const std::string& name, AsioManager* manager, const ASIOChannelInfo& info)
    : AudioOut(index, name), manager(manager), info(info) {}

int AsioAudioOut::prepare(int frames) {
    bufferFrames = std::max(0, frames);
    if (!ring.init(4 * bufferFrames, 0))
        return kHostErrorAsioNoMemory;
    return 0;
}

int AsioAudioOut::unprepare() {
    ring.free();
    return 0;
}

int AsioAudioOut::getFreeSpace() {
    int free = std::max(0, bufferFrames - ring.readable());
    return std::min(free, ring.contiguousWritable());
}

void AsioAudioOut::pushToDevice() {
    void* buffer = manager->getChannelBuffer(manager->getBufferInfoIndex(false, index), manager->halfIndex.load());
    if (!buffer)
        return;
    // Only the frames that are ready; the rest of the half is silence, never stale ring data.
    int ready = std::min(bufferFrames, ring.readable());
    RingRegion region = ring.takeReadRegion(ready);
    floatToAsio(region.first, 0, info.type, buffer, region.firstCount);
    floatToAsio(region.second, region.firstCount, info.type, buffer, region.secondCount);
    silenceToAsio(ready, info.type, buffer, bufferFrames - ready);
}
