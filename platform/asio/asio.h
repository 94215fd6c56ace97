// Our declarations of the ASIO host interface: the records, sample types, callbacks and
// the driver's COM interface that an ASIO driver DLL implements, as our host side and our
// test driver use them. Drivers are built with 4-byte packing on Windows, and "long" in
// their records is 32 bits wide on both 32-bit and 64-bit Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#include <unknwn.h>
#endif

typedef int32_t ASIOLong;
typedef uint32_t ASIOULong;
typedef ASIOLong ASIOBool;
typedef ASIOLong ASIOError;
typedef ASIOLong ASIOSampleType;
typedef double ASIOSampleRate;

enum { ASIOFalse = 0, ASIOTrue = 1 };

// Results of the driver's calls.
enum : ASIOError {
    ASE_OK = 0,
    ASE_SUCCESS = 0x3F4847A0,
    ASE_NotPresent = -1000,
    ASE_HWMalfunction = -999,
    ASE_InvalidParameter = -998,
    ASE_InvalidMode = -997,
    ASE_SPNotAdvancing = -996,
    ASE_NoClock = -995,
    ASE_NoMemory = -994,
};

// Sample formats of a channel's buffers. MSB/LSB: big/little-endian; the Int32xx types
// hold 16, 18, 20 or 24 significant bits in a 32-bit container.
enum : ASIOSampleType {
    ASIOSTInt16MSB = 0,
    ASIOSTInt24MSB = 1,
    ASIOSTInt32MSB = 2,
    ASIOSTFloat32MSB = 3,
    ASIOSTFloat64MSB = 4,
    ASIOSTInt32MSB16 = 8,
    ASIOSTInt32MSB18 = 9,
    ASIOSTInt32MSB20 = 10,
    ASIOSTInt32MSB24 = 11,
    ASIOSTInt16LSB = 16,
    ASIOSTInt24LSB = 17,
    ASIOSTInt32LSB = 18,
    ASIOSTFloat32LSB = 19,
    ASIOSTFloat64LSB = 20,
    ASIOSTInt32LSB16 = 24,
    ASIOSTInt32LSB18 = 25,
    ASIOSTInt32LSB20 = 26,
    ASIOSTInt32LSB24 = 27,
};

// Selectors of the host's message callback.
enum : ASIOLong {
    kAsioSelectorSupported = 1,
    kAsioEngineVersion = 2,
    kAsioResetRequest = 3,
    kAsioBufferSizeChange = 4,
    kAsioResyncRequest = 5,
    kAsioLatenciesChanged = 6,
    kAsioSupportsTimeInfo = 7,
    kAsioSupportsTimeCode = 8,
    kAsioMMCCommand = 9,
};

// AsioTimeInfo flags.
enum : ASIOULong {
    kSystemTimeValid = 1,
    kSamplePositionValid = 1 << 1,
    kSampleRateValid = 1 << 2,
    kSpeedValid = 1 << 3,
    kSampleRateChanged = 1 << 4,
    kClockSourceChanged = 1 << 5,
};

#pragma pack(push, 4)

// A 64-bit count as two 32-bit halves.
struct ASIOSamples {
    ASIOULong hi;
    ASIOULong lo;
};
typedef ASIOSamples ASIOTimeStamp;  // nanoseconds

struct ASIODriverInfo {
    ASIOLong asioVersion;    // in: the host's version
    ASIOLong driverVersion;  // out
    char name[32];
    char errorMessage[124];
    void* sysRef;            // in: the host's window
};

struct ASIOClockSource {
    ASIOLong index;
    ASIOLong associatedChannel;
    ASIOLong associatedGroup;
    ASIOBool isCurrentSource;
    char name[32];
};

struct ASIOChannelInfo {
    ASIOLong channel;       // in
    ASIOBool isInput;       // in
    ASIOBool isActive;      // out
    ASIOLong channelGroup;  // out
    ASIOSampleType type;    // out
    char name[32];          // out
};

struct ASIOBufferInfo {
    ASIOBool isInput;    // in
    ASIOLong channelNum; // in
    void* buffers[2];    // out: the two halves of the channel's double buffer
};

struct AsioTimeInfo {
    double speed;
    ASIOTimeStamp systemTime;
    ASIOSamples samplePosition;
    ASIOSampleRate sampleRate;
    ASIOULong flags;
    char reserved[12];
};

struct ASIOTimeCode {
    double speed;
    ASIOSamples timeCodeSamples;
    ASIOULong flags;
    char future[64];
};

struct ASIOTime {
    ASIOLong reserved[4];
    AsioTimeInfo timeInfo;
    ASIOTimeCode timeCode;
};

// The host's callbacks, called by the driver (the buffer switches from its own thread).
struct ASIOCallbacks {
    void (*bufferSwitch)(ASIOLong doubleBufferIndex, ASIOBool directProcess);
    void (*sampleRateDidChange)(ASIOSampleRate sRate);
    ASIOLong (*asioMessage)(ASIOLong selector, ASIOLong value, void* message, double* opt);
    ASIOTime* (*bufferSwitchTimeInfo)(ASIOTime* params, ASIOLong doubleBufferIndex, ASIOBool directProcess);
};

#pragma pack(pop)

static_assert(sizeof(ASIOSamples) == 8, "ASIOSamples");
static_assert(sizeof(ASIOChannelInfo) == 52, "ASIOChannelInfo");
static_assert(sizeof(ASIOClockSource) == 48, "ASIOClockSource");
static_assert(sizeof(AsioTimeInfo) == 48, "AsioTimeInfo");
static_assert(sizeof(ASIOTimeCode) == 84, "ASIOTimeCode");
static_assert(sizeof(ASIOTime) == 148, "ASIOTime");
static_assert(offsetof(ASIODriverInfo, sysRef) == 164, "ASIODriverInfo.sysRef");
static_assert(sizeof(ASIODriverInfo) == 164 + sizeof(void*), "ASIODriverInfo");
static_assert(offsetof(ASIOBufferInfo, buffers) == 8, "ASIOBufferInfo.buffers");
static_assert(sizeof(ASIOBufferInfo) == 8 + 2 * sizeof(void*), "ASIOBufferInfo");
static_assert(sizeof(ASIOCallbacks) == 4 * sizeof(void*), "ASIOCallbacks");

#ifdef _WIN32

// The driver's own methods use the C++ member convention of the Windows compilers (this in
// ECX, callee pops) on 32-bit x86; IUnknown's three keep stdcall. x86-64 has one convention.
#if defined(__i386__)
#define ASIO_METHOD __attribute__((thiscall))
#else
#define ASIO_METHOD
#endif

// The driver object that CoCreateInstance hands out (its class id doubles as the interface id).
struct IASIO : public IUnknown {
    virtual ASIOBool ASIO_METHOD init(void* sysHandle) = 0;
    virtual void ASIO_METHOD getDriverName(char* name) = 0;  // up to 32 bytes
    virtual ASIOLong ASIO_METHOD getDriverVersion() = 0;
    virtual void ASIO_METHOD getErrorMessage(char* string) = 0;  // up to 124 bytes
    virtual ASIOError ASIO_METHOD start() = 0;
    virtual ASIOError ASIO_METHOD stop() = 0;
    virtual ASIOError ASIO_METHOD getChannels(ASIOLong* numInputChannels, ASIOLong* numOutputChannels) = 0;
    virtual ASIOError ASIO_METHOD getLatencies(ASIOLong* inputLatency, ASIOLong* outputLatency) = 0;
    virtual ASIOError ASIO_METHOD getBufferSize(ASIOLong* minSize, ASIOLong* maxSize, ASIOLong* preferredSize,
                                                ASIOLong* granularity) = 0;
    virtual ASIOError ASIO_METHOD canSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError ASIO_METHOD getSampleRate(ASIOSampleRate* sampleRate) = 0;
    virtual ASIOError ASIO_METHOD setSampleRate(ASIOSampleRate sampleRate) = 0;
    virtual ASIOError ASIO_METHOD getClockSources(ASIOClockSource* clocks, ASIOLong* numSources) = 0;
    virtual ASIOError ASIO_METHOD setClockSource(ASIOLong reference) = 0;
    virtual ASIOError ASIO_METHOD getSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) = 0;
    virtual ASIOError ASIO_METHOD getChannelInfo(ASIOChannelInfo* info) = 0;
    virtual ASIOError ASIO_METHOD createBuffers(ASIOBufferInfo* bufferInfos, ASIOLong numChannels,
                                                ASIOLong bufferSize, ASIOCallbacks* callbacks) = 0;
    virtual ASIOError ASIO_METHOD disposeBuffers() = 0;
    virtual ASIOError ASIO_METHOD controlPanel() = 0;
    virtual ASIOError ASIO_METHOD future(ASIOLong selector, void* opt) = 0;
    virtual ASIOError ASIO_METHOD outputReady() = 0;
};

// The host layer over the loaded driver (asio_host.cpp): each call answers ASE_NotPresent
// when no driver is loaded.
ASIOError ASIOInit(ASIODriverInfo* info);
ASIOError ASIOExit();
ASIOError ASIOStart();
ASIOError ASIOStop();
ASIOError ASIOGetChannels(ASIOLong* numInputChannels, ASIOLong* numOutputChannels);
ASIOError ASIOGetLatencies(ASIOLong* inputLatency, ASIOLong* outputLatency);
ASIOError ASIOGetBufferSize(ASIOLong* minSize, ASIOLong* maxSize, ASIOLong* preferredSize, ASIOLong* granularity);
ASIOError ASIOCanSampleRate(ASIOSampleRate sampleRate);
ASIOError ASIOGetSampleRate(ASIOSampleRate* currentRate);
ASIOError ASIOSetSampleRate(ASIOSampleRate sampleRate);
ASIOError ASIOGetSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp);
ASIOError ASIOGetChannelInfo(ASIOChannelInfo* info);
ASIOError ASIOCreateBuffers(ASIOBufferInfo* bufferInfos, ASIOLong numChannels, ASIOLong bufferSize,
                            ASIOCallbacks* callbacks);
ASIOError ASIODisposeBuffers();
ASIOError ASIOControlPanel();
ASIOError ASIOOutputReady();

#endif  // _WIN32
