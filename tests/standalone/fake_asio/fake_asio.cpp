// A test ASIO driver: an in-process COM server whose channels, formats, buffer sizes, rates
// and failures the tests configure, that runs the buffer switches from a thread of its own
// and records what the host writes into its output buffers.
#include "fake_asio.h"

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

const CLSID kClsid = {0x6A1F3C52, 0x9B7E, 0x4D21, {0x8C, 0x55, 0x2E, 0x0B, 0x7A, 0x9D, 0x4F, 0x13}};
const int kMaxCapturedChannels = 8;
const size_t kCaptureLimit = 4u << 20;  // bytes per channel

std::mutex stateLock;  // guards config, capture, input and the counters below
FakeAsioConfig config;
FakeAsioCounters counters;
std::vector<uint8_t> captured[kMaxCapturedChannels];
std::vector<uint8_t> inputBytes;
std::atomic<int32_t> postedSelector{0}, postedValue{0};
std::atomic<long> moduleLocks{0};

int bytesPerSample(ASIOSampleType type) {
    switch (type) {
    case ASIOSTInt16MSB: case ASIOSTInt16LSB: return 2;
    case ASIOSTInt24MSB: case ASIOSTInt24LSB: return 3;
    case ASIOSTFloat64MSB: case ASIOSTFloat64LSB: return 8;
    default: return 4;
    }
}

class FakeDriver;
FakeDriver* currentDriver = nullptr;  // the last one created, for messages sent from the tests

class FakeDriver : public IASIO {
public:
    FakeDriver() {
        std::lock_guard<std::mutex> guard(stateLock);
        ++counters.liveDrivers;
    }
    virtual ~FakeDriver() {
        stopThread();
        freeBuffers();
        std::lock_guard<std::mutex> guard(stateLock);
        --counters.liveDrivers;
        if (currentDriver == this)
            currentDriver = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kClsid)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }

    ASIOBool ASIO_METHOD init(void* sysHandle) override {
        std::lock_guard<std::mutex> guard(stateLock);
        ++counters.inits;
        counters.sysRef = sysHandle;
        counters.rate = config.rate;
        return config.failInit ? ASIOFalse : ASIOTrue;
    }
    void ASIO_METHOD getDriverName(char* name) override {
        std::lock_guard<std::mutex> guard(stateLock);
        std::memcpy(name, config.name, 32);
        name[31] = 0;
    }
    ASIOLong ASIO_METHOD getDriverVersion() override { return 7; }
    void ASIO_METHOD getErrorMessage(char* text) override {
        std::lock_guard<std::mutex> guard(stateLock);
        std::memcpy(text, config.errorMessage, 124);
        text[123] = 0;
    }

    ASIOError ASIO_METHOD start() override {
        noteCallFromDriverThread();
        {
            std::lock_guard<std::mutex> guard(stateLock);
            if (config.startError)
                return config.startError;
            if (buffers.empty())
                return ASE_InvalidMode;
            ++counters.starts;
            counters.switches = 0;
        }
        if (running)
            return ASE_OK;
        // Half 1 was filled by the host before the start and is played first.
        recordOutputs(1);
        running = true;
        quit = false;
        switchesDone = 0;
        thread = CreateThread(nullptr, 0, threadMain, this, 0, &threadId);
        return ASE_OK;
    }
    ASIOError ASIO_METHOD stop() override {
        if (noteCallFromDriverThread())
            return ASE_InvalidMode;  // joining itself would hang: the host's fault, counted
        {
            std::lock_guard<std::mutex> guard(stateLock);
            ++counters.stops;
        }
        stopThread();
        return ASE_OK;
    }
    ASIOError ASIO_METHOD getChannels(ASIOLong* numInputs, ASIOLong* numOutputs) override {
        std::lock_guard<std::mutex> guard(stateLock);
        if (config.getChannelsError)
            return config.getChannelsError;
        *numInputs = config.inputs;
        *numOutputs = config.outputs;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD getLatencies(ASIOLong* input, ASIOLong* output) override {
        std::lock_guard<std::mutex> guard(stateLock);
        *input = bufferSize + config.inputLatency;
        *output = bufferSize + config.outputLatency;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD getBufferSize(ASIOLong* minSize, ASIOLong* maxSize, ASIOLong* preferred,
                                        ASIOLong* granularity) override {
        std::lock_guard<std::mutex> guard(stateLock);
        if (config.getBufferSizeError)
            return config.getBufferSizeError;
        *minSize = config.minSize;
        *maxSize = config.maxSize;
        *preferred = config.preferredSize;
        *granularity = config.granularity;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD canSampleRate(ASIOSampleRate rate) override {
        std::lock_guard<std::mutex> guard(stateLock);
        return supports(rate) ? ASE_OK : ASE_NoClock;
    }
    ASIOError ASIO_METHOD getSampleRate(ASIOSampleRate* rate) override {
        std::lock_guard<std::mutex> guard(stateLock);
        if (config.getSampleRateError)
            return config.getSampleRateError;
        *rate = counters.rate;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD setSampleRate(ASIOSampleRate rate) override {
        noteCallFromDriverThread();
        std::lock_guard<std::mutex> guard(stateLock);
        if (config.setSampleRateError)
            return config.setSampleRateError;
        if (!supports(rate))
            return ASE_NoClock;
        counters.rate = rate;
        ++counters.rateSets;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD getClockSources(ASIOClockSource* clocks, ASIOLong* count) override {
        if (!clocks || !count || *count < 1)
            return ASE_InvalidParameter;
        std::memset(clocks, 0, sizeof *clocks);
        clocks->associatedChannel = -1;
        clocks->associatedGroup = -1;
        clocks->isCurrentSource = ASIOTrue;
        std::strcpy(clocks->name, "Internal");
        *count = 1;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD setClockSource(ASIOLong reference) override {
        return reference == 0 ? ASE_OK : ASE_InvalidParameter;
    }
    ASIOError ASIO_METHOD getSamplePosition(ASIOSamples* position, ASIOTimeStamp* stamp) override {
        if (!running)
            return ASE_SPNotAdvancing;
        uint64_t samples = static_cast<uint64_t>(switchesDone.load()) * static_cast<uint64_t>(bufferSize);
        uint64_t nanoseconds = static_cast<uint64_t>(GetTickCount()) * 1000000ull;
        position->hi = static_cast<ASIOULong>(samples >> 32);
        position->lo = static_cast<ASIOULong>(samples);
        stamp->hi = static_cast<ASIOULong>(nanoseconds >> 32);
        stamp->lo = static_cast<ASIOULong>(nanoseconds);
        return ASE_OK;
    }
    ASIOError ASIO_METHOD getChannelInfo(ASIOChannelInfo* info) override {
        std::lock_guard<std::mutex> guard(stateLock);
        int32_t count = info->isInput ? config.inputs : config.outputs;
        if (info->channel < 0 || info->channel >= count)
            return ASE_InvalidParameter;
        info->isActive = ASIOFalse;
        for (const Channel& c : buffers)
            if (c.isInput == (info->isInput != 0) && c.number == info->channel)
                info->isActive = ASIOTrue;
        info->channelGroup = 0;
        info->type = config.sampleType;
        std::memset(info->name, 0, sizeof info->name);
        std::snprintf(info->name, sizeof info->name, "%s %d", info->isInput ? "In" : "Out",
                      static_cast<int>(info->channel + 1));
        return ASE_OK;
    }
    ASIOError ASIO_METHOD createBuffers(ASIOBufferInfo* infos, ASIOLong count, ASIOLong size,
                                        ASIOCallbacks* cb) override {
        if (noteCallFromDriverThread() || running)
            return ASE_InvalidMode;
        freeBuffers();
        std::lock_guard<std::mutex> guard(stateLock);
        if (config.createBuffersError)
            return config.createBuffersError;
        if (!infos || !cb || count <= 0 || size < config.minSize || size > config.maxSize)
            return ASE_InvalidMode;
        int bytes = bytesPerSample(config.sampleType) * size;
        for (ASIOLong i = 0; i < count; ++i) {
            int32_t limit = infos[i].isInput ? config.inputs : config.outputs;
            if (infos[i].channelNum < 0 || infos[i].channelNum >= limit) {
                for (Channel& c : buffers)
                    releaseChannel(c);
                buffers.clear();
                return ASE_InvalidParameter;
            }
            Channel c;
            c.isInput = infos[i].isInput != 0;
            c.number = infos[i].channelNum;
            for (int half = 0; half < 2; ++half) {
                c.data[half] = static_cast<uint8_t*>(std::malloc(bytes));
                std::memset(c.data[half], config.fillByte, bytes);
                infos[i].buffers[half] = c.data[half];
            }
            buffers.push_back(c);
            ++counters.liveBuffers;
        }
        bufferSize = size;
        bufferBytes = bytes;
        callbacks = cb;
        ++counters.creates;
        counters.bufferSize = size;
        counters.channels = count;
        for (auto& stream : captured)
            stream.clear();
        inputPosition = 0;
        return ASE_OK;
    }
    ASIOError ASIO_METHOD disposeBuffers() override {
        if (noteCallFromDriverThread())
            return ASE_InvalidMode;
        stopThread();
        {
            std::lock_guard<std::mutex> guard(stateLock);
            ++counters.disposes;
        }
        freeBuffers();
        return ASE_OK;
    }
    ASIOError ASIO_METHOD controlPanel() override {
        std::lock_guard<std::mutex> guard(stateLock);
        ++counters.controlPanels;
        return config.controlPanelError;
    }
    ASIOError ASIO_METHOD future(ASIOLong, void*) override { return ASE_InvalidParameter; }
    ASIOError ASIO_METHOD outputReady() override {
        std::lock_guard<std::mutex> guard(stateLock);
        ++counters.outputReadies;
        return config.outputReady ? ASE_OK : ASE_NotPresent;
    }

    bool hasCallbacks() const { return callbacks != nullptr; }

    ASIOLong sendMessage(ASIOLong selector, ASIOLong value) {
        ASIOCallbacks* cb = callbacks;
        if (!cb || !cb->asioMessage)
            return 0;
        ASIOLong answer = cb->asioMessage(selector, value, nullptr, nullptr);
        std::lock_guard<std::mutex> guard(stateLock);
        if (selector >= 0 && selector < 16)
            counters.messageAnswers[selector] = answer;
        return answer;
    }

private:
    struct Channel {
        bool isInput = false;
        ASIOLong number = 0;
        uint8_t* data[2] = {nullptr, nullptr};
    };

    bool supports(double rate) const {
        for (int i = 0; i < config.rateCount && i < 8; ++i)
            if (config.rates[i] == rate)
                return true;
        return false;
    }

    bool noteCallFromDriverThread() {
        if (!running || GetCurrentThreadId() != threadId)
            return false;
        std::lock_guard<std::mutex> guard(stateLock);
        ++counters.callsFromDriverThread;
        return true;
    }

    void releaseChannel(Channel& c) {
        std::free(c.data[0]);
        std::free(c.data[1]);
        c.data[0] = c.data[1] = nullptr;
        --counters.liveBuffers;
    }

    void freeBuffers() {
        std::lock_guard<std::mutex> guard(stateLock);
        for (Channel& c : buffers)
            releaseChannel(c);
        buffers.clear();
        callbacks = nullptr;
    }

    void stopThread() {
        if (!running)
            return;
        quit = true;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
        threadId = 0;
        running = false;
    }

    void fillInputs(int half) {
        std::lock_guard<std::mutex> guard(stateLock);
        size_t position = inputPosition;
        for (Channel& c : buffers) {
            if (!c.isInput)
                continue;
            position = inputPosition;
            for (int i = 0; i < bufferBytes; ++i) {
                c.data[half][i] = inputBytes.empty() ? 0 : inputBytes[position];
                if (!inputBytes.empty())
                    position = (position + 1) % inputBytes.size();
            }
        }
        inputPosition = position;
    }

    void recordOutputs(int half) {
        std::lock_guard<std::mutex> guard(stateLock);
        int output = 0;
        for (Channel& c : buffers) {
            if (c.isInput)
                continue;
            if (output < kMaxCapturedChannels && captured[output].size() + bufferBytes <= kCaptureLimit)
                captured[output].insert(captured[output].end(), c.data[half], c.data[half] + bufferBytes);
            ++output;
        }
    }

    static DWORD WINAPI threadMain(void* self) {
        static_cast<FakeDriver*>(self)->run();
        return 0;
    }

    void run() {
        bool useTimeInfo = config.timeInfo && sendMessage(kAsioSupportsTimeInfo, 0) == 1;
        int half = 0;
        DWORD next = GetTickCount();
        double elapsed = 0;
        int32_t limit;
        {
            std::lock_guard<std::mutex> guard(stateLock);
            limit = config.switchLimit;
        }
        while (!quit) {
            if (limit > 0 && switchesDone.load() >= limit) {
                Sleep(1);
                continue;
            }
            fillInputs(half);
            ASIOCallbacks* cb = callbacks;
            double rate;
            {
                std::lock_guard<std::mutex> guard(stateLock);
                rate = counters.rate;
            }
            if (useTimeInfo) {
                ASIOTime time;
                std::memset(&time, 0, sizeof time);
                time.timeInfo.sampleRate = rate;
                time.timeInfo.flags = kSampleRateValid;
                cb->bufferSwitchTimeInfo(&time, half, ASIOTrue);
            } else {
                cb->bufferSwitch(half, ASIOTrue);
            }
            recordOutputs(half);
            {
                std::lock_guard<std::mutex> guard(stateLock);
                ++counters.switches;
                if (useTimeInfo)
                    ++counters.timeInfoSwitches;
            }
            ++switchesDone;
            half ^= 1;
            int32_t selector = postedSelector.exchange(0);
            if (selector)
                sendMessage(selector, postedValue.load());
            if (config.realTime) {
                elapsed += 1000.0 * bufferSize / rate;
                DWORD due = next + static_cast<DWORD>(elapsed);
                DWORD now = GetTickCount();
                if (static_cast<int32_t>(due - now) > 0)
                    Sleep(due - now);
            } else {
                SwitchToThread();
            }
        }
    }

    std::atomic<ULONG> references{1};
    std::vector<Channel> buffers;
    ASIOCallbacks* volatile callbacks = nullptr;
    ASIOLong bufferSize = 0;
    int bufferBytes = 0;
    size_t inputPosition = 0;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    std::atomic<bool> running{false}, quit{false};
    std::atomic<int64_t> switchesDone{0};
};

ASIOLong sendToCurrent(int32_t selector, int32_t value) {
    return currentDriver && currentDriver->hasCallbacks() ? currentDriver->sendMessage(selector, value) : 0;
}

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        FakeDriver* driver = new FakeDriver;
        HRESULT hr = driver->QueryInterface(riid, out);
        driver->Release();
        if (SUCCEEDED(hr))
            currentDriver = driver;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++moduleLocks : --moduleLocks;
        return S_OK;
    }
};

Factory factory;

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!IsEqualCLSID(clsid, kClsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, out);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    std::lock_guard<std::mutex> guard(stateLock);
    return counters.liveDrivers == 0 && moduleLocks == 0 ? S_OK : S_FALSE;
}

__declspec(dllexport) void fakeAsioConfigure(const FakeAsioConfig* next) {
    std::lock_guard<std::mutex> guard(stateLock);
    config = *next;
    config.name[31] = 0;
    config.errorMessage[123] = 0;
}

__declspec(dllexport) void fakeAsioCounters(FakeAsioCounters* out) {
    std::lock_guard<std::mutex> guard(stateLock);
    *out = counters;
}

__declspec(dllexport) void fakeAsioResetCounters() {
    std::lock_guard<std::mutex> guard(stateLock);
    FakeAsioCounters fresh;
    std::memset(&fresh, 0, sizeof fresh);
    fresh.liveDrivers = counters.liveDrivers;
    fresh.liveBuffers = counters.liveBuffers;
    fresh.rate = counters.rate;
    fresh.sysRef = counters.sysRef;
    counters = fresh;
}

__declspec(dllexport) int32_t fakeAsioCaptured(int32_t channel, void* out, int32_t maxBytes) {
    std::lock_guard<std::mutex> guard(stateLock);
    if (channel < 0 || channel >= kMaxCapturedChannels)
        return 0;
    const std::vector<uint8_t>& stream = captured[channel];
    if (out && maxBytes > 0)
        std::memcpy(out, stream.data(), std::min<size_t>(stream.size(), static_cast<size_t>(maxBytes)));
    return static_cast<int32_t>(stream.size());
}

__declspec(dllexport) void fakeAsioSetInput(const void* bytes, int32_t count) {
    std::lock_guard<std::mutex> guard(stateLock);
    count = std::max<int32_t>(0, std::min<int32_t>(count, 1 << 20));
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    inputBytes.assign(b, b + count);
}

__declspec(dllexport) void fakeAsioPostMessage(int32_t selector, int32_t value) {
    postedValue = value;
    postedSelector = selector;
}

__declspec(dllexport) ASIOLong fakeAsioSendMessage(int32_t selector, int32_t value) {
    return sendToCurrent(selector, value);
}

__declspec(dllexport) int32_t fakeAsioWaitSwitches(int64_t count, int32_t timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(stateLock);
            if (counters.switches >= count)
                return 1;
        }
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs))
            return 0;
        Sleep(1);
    }
}

}  // extern "C"
