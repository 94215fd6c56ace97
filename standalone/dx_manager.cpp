#include "dx_manager.h"

#include <algorithm>
#include <cstring>

namespace {
const int kRate = 44100;
const int kBytesPerFrame = 4;  // 16-bit stereo

WAVEFORMATEX stereo16() {
    WAVEFORMATEX format;
    std::memset(&format, 0, sizeof(format));
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = kBytesPerFrame;
    format.nAvgBytesPerSec = kRate * kBytesPerFrame;
    return format;
}
}  // namespace

// ---- manager

DXManager::DXManager(Audio* owner, HWND window) : AudioManager(owner), window(window) {
    // About 5 ms to 100 ms at 44100 Hz in steps of about 1 ms.
    latencyMin = 220;
    latencyMax = 4400;
    latencyPreferred = 4400;
    latencyGranularity = 44;
    latencyCurrent = 4400;
    DirectSoundEnumerateA(enumerate, this);
}

DXManager::~DXManager() {
    stop();
    unprepare();
    unloadDriver();
}

BOOL CALLBACK DXManager::enumerate(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context) {
    DXManager* self = (DXManager*)context;
    // The entry without a GUID is the system's default device, listed again under its name.
    if (!guid) return TRUE;
    if (self->deviceCount >= kMaxDevices) return FALSE;
    Device& device = self->devices[self->deviceCount++];
    device.guid = *guid;
    device.description = description ? description : "";
    device.module = module ? module : "";
    return TRUE;
}

std::string DXManager::getDriverName(int index) {
    return index >= 0 && index < deviceCount ? devices[index].description : std::string();
}

int DXManager::selectDriver(int index) {
    stop();
    unprepare();
    unloadDriver();
    selected = -1;
    if (index >= 0 && index < deviceCount) {
        createOutputs(devices[index].guid, devices[index].description, devices[index].module);
        selected = index;
    }
    return 0;
}

void DXManager::createOutputs(const GUID& guid, const std::string& description, const std::string& module) {
    addOutput(new DXAudioOut(0, description, this, guid, 0));
    addOutput(new DXAudioOut(1, description, this, guid, 1));
}

int DXManager::setLatency(int frames) {
    // A stored latency from another device or version may lie outside this range; the
    // rings hold twice the maximum, so a larger value would overrun them.
    latencyCurrent = std::max(latencyMin, std::min(frames, latencyMax));
    return 0;
}

int DXManager::canSampleRate(float rate) { return rate == 44100.f ? 0 : kHostErrorSampleRate; }

// ---- channel

DXAudioOut::DXAudioOut(int index, const std::string& name, DXManager* manager, const GUID& device, int passive)
    : AudioOut(index, name), passive(passive), manager(manager), device(device) {}

DXAudioOut::~DXAudioOut() {
    stop();
    unprepare();
}

int DXAudioOut::prepare(int) {
    int capacity = 2 * manager->getMaxLatency();
    unprepare();
    // The initial silence in whole slices, like everything the pump renders after it: the
    // ring's indices then stay on slice bounds, and so do the regions it hands the pump.
    int silence = manager->getLatency() / LoopingBufferFeed::kSliceFrames * LoopingBufferFeed::kSliceFrames;
    if (!ring.init(capacity, silence)) return kHostErrorDsSecondary;
    bufferFrames = capacity;
    if (passive) return 0;

    // Nothing of ours is queued yet: the first tick writes at the device's write cursor.
    feed.reset(bufferFrames, manager->getMaxLatency());
    publish();
    if (FAILED(DirectSoundCreate(&device, &directSound, nullptr))) {
        directSound = nullptr;
        return kHostErrorDsCreate;
    }
    if (FAILED(directSound->SetCooperativeLevel(manager->getWindow(), DSSCL_PRIORITY))) return kHostErrorDsCooperative;

    DSBUFFERDESC description;
    std::memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    WAVEFORMATEX format = stereo16();
    if (FAILED(directSound->CreateSoundBuffer(&description, &primary, nullptr))) {
        primary = nullptr;
        return kHostErrorDsPrimary;
    }
    if (FAILED(primary->SetFormat(&format))) return kHostErrorDsPrimary;

    std::memset(&description, 0, sizeof(description));
    description.dwSize = sizeof(description);
    description.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    description.dwBufferBytes = (DWORD)(bufferFrames * kBytesPerFrame);
    description.lpwfxFormat = &format;
    if (FAILED(directSound->CreateSoundBuffer(&description, &secondary, nullptr))) {
        secondary = nullptr;
        return kHostErrorDsSecondary;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (SUCCEEDED(secondary->Lock(0, 0, &first, &firstBytes, &second, &secondBytes, DSBLOCK_ENTIREBUFFER))) {
        if (first) std::memset(first, 0, firstBytes);
        if (second) std::memset(second, 0, secondBytes);
        secondary->Unlock(first, firstBytes, second, secondBytes);
    }
    return 0;
}

void DXAudioOut::releaseBuffers() {
    if (secondary) secondary->Release();
    if (primary) primary->Release();
    if (directSound) directSound->Release();
    secondary = nullptr;
    primary = nullptr;
    directSound = nullptr;
}

int DXAudioOut::unprepare() {
    ring.free();
    if (!passive) releaseBuffers();
    return 0;
}

int DXAudioOut::start() {
    if (passive) return 0;
    stopping = false;
    if (!secondary) return kHostErrorDsNotPrepared;
    if (timeBeginPeriod(1) != TIMERR_NOERROR) return kHostErrorDsTimer;
    periodSet = true;
    timerId = timeSetEvent(1, 0, timerProc, (DWORD_PTR)this, TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    if (!timerId) return kHostErrorDsTimer;
    timerRunning = true;
    playPending = true;
    if (SUCCEEDED(secondary->Play(0, 0, DSBPLAY_LOOPING))) playPending = false;
    return 0;
}

int DXAudioOut::stop() {
    if (passive) return 0;
    stopping = true;
    if (timerRunning) timeKillEvent(timerId);
    timerRunning = false;
    timerId = 0;
    // A tick may already be inside the poll: the rings and buffers stay until it has left.
    while (activePolls.load() != 0) Sleep(0);
    if (periodSet) timeEndPeriod(1);
    periodSet = false;
    if (secondary) secondary->Stop();
    return 0;
}

int DXAudioOut::getFreeSpace() {
    if (passive) return 0;
    int free = wanted.load() - ring.readable();
    free = std::min(free, ring.contiguousWritable());
    // Whole slices only (see LoopingBufferFeed).
    free = free / LoopingBufferFeed::kSliceFrames * LoopingBufferFeed::kSliceFrames;
    return std::max(free, 0);
}

void DXAudioOut::noteFirstSound(long long position, const int16_t* first, int firstFrames, const int16_t* second,
                                int secondFrames) {
    for (int i = 0; i < firstFrames + secondFrames; i++) {
        const int16_t* frame = i < firstFrames ? first + 2 * i : second + 2 * (i - firstFrames);
        if (frame[0] != 0 || frame[1] != 0) {
            firstSound = position + i;
            armed = false;
            return;
        }
    }
}

long long DXAudioOut::getPlayPosition() {
    // The pair the poll published last, whole, and then the cursor: read after the poll's,
    // it is never behind the published one.
    long long played = 0;
    int last = 0;
    for (;;) {
        unsigned before = publishing.load();
        played = playedFrames.load();
        last = lastPlayCursor.load();
        if (!(before & 1) && publishing.load() == before) break;
        Sleep(0);
    }
    DWORD playCursor = 0, writeCursor = 0;
    if (!secondary || bufferFrames <= 0 || FAILED(secondary->GetCurrentPosition(&playCursor, &writeCursor)))
        return played;
    int play = (int)(playCursor / kBytesPerFrame) % bufferFrames;
    return played + (play - last + bufferFrames) % bufferFrames;
}

void CALLBACK DXAudioOut::timerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) { ((DXAudioOut*)user)->poll(); }

void DXAudioOut::publish() {
    publishing++;  // odd while the fields change
    queuedFrames = feed.getQueued();
    heldLatency = feed.getHeldLatency();
    underruns = feed.getUnderruns();
    lastPlayCursor = feed.getLastPlayCursor();
    playedFrames = feed.getPlayedFrames();
    writtenFrames = feed.getWrittenFrames();
    publishing++;
}

void DXAudioOut::poll() {
    activePolls.fetch_add(1);
    if (stopping.load() || !secondary) {
        activePolls.fetch_sub(1);
        return;
    }
    if (playPending) {
        if (FAILED(secondary->Play(0, 0, DSBPLAY_LOOPING))) {
            activePolls.fetch_sub(1);
            return;
        }
        playPending = false;
    }
    if (pollRunning.exchange(true)) {
        activePolls.fetch_sub(1);
        return;
    }

    DWORD playCursor = 0, writeCursor = 0;
    if (SUCCEEDED(secondary->GetCurrentPosition(&playCursor, &writeCursor))) {
        // Only what the buffer lacks is rendered, right before it is written: rendering
        // ahead into the rings, or writing a whole latency on top of what is queued, would
        // make a note wait two or three times the latency the musician chose.
        int need = feed.tick((int)(playCursor / kBytesPerFrame), (int)(writeCursor / kBytesPerFrame),
                             manager->getLatency());
        publish();
        if (need > 0) {
            wanted = need;
            manager->process();
            wanted = 0;
            DXAudioOut* right = (DXAudioOut*)manager->getOutput(1);
            int count = std::min(need, ring.readable());
            if (right) count = std::min(count, right->ring.readable());
            if (count > 0) {
                void* first = nullptr;
                void* second = nullptr;
                DWORD firstBytes = 0, secondBytes = 0;
                if (SUCCEEDED(secondary->Lock((DWORD)(feed.getWritePosition() * kBytesPerFrame),
                                              (DWORD)(count * kBytesPerFrame), &first, &firstBytes, &second,
                                              &secondBytes, 0))) {
                    int firstFrames = (int)(firstBytes / kBytesPerFrame);
                    int secondFrames = (int)(secondBytes / kBytesPerFrame);
                    if (first) {
                        ring.copyOut16((int16_t*)first, 0, firstFrames);
                        if (right) right->ring.copyOut16((int16_t*)first, 1, firstFrames);
                    }
                    if (second) {
                        ring.copyOut16((int16_t*)second, 0, secondFrames);
                        if (right) right->ring.copyOut16((int16_t*)second, 1, secondFrames);
                    }
                    if (armed)
                        noteFirstSound(feed.getWrittenFrames(), (int16_t*)first, firstFrames, (int16_t*)second,
                                       secondFrames);
                    secondary->Unlock(first, firstBytes, second, secondBytes);
                    feed.wrote(count);
                    publish();
                }
            }
        }
    }
    pollRunning = false;
    activePolls.fetch_sub(1);
}
