// The host layer: one call per driver method, over the driver that AsioDrivers loaded.
#include <cstdio>
#include <cstring>

#include "asio/asio.h"
#include "asio/asio_drivers.h"

namespace {

void copyText(char* destination, size_t size, const char* text) {
    std::snprintf(destination, size, "%s", text);
}

}  // namespace

ASIOError ASIOInit(ASIODriverInfo* info) {
    if (!info)
        return ASE_InvalidParameter;
    copyText(info->name, sizeof info->name, "No ASIO Driver");
    info->driverVersion = 0;
    if (!theAsioDriver) {
        copyText(info->errorMessage, sizeof info->errorMessage, "No ASIO Driver Error");
        return ASE_NotPresent;
    }
    if (!theAsioDriver->init(info->sysRef)) {
        char message[128] = {};
        theAsioDriver->getErrorMessage(message);
        message[sizeof message - 1] = 0;
        copyText(info->errorMessage, sizeof info->errorMessage, message);
        if (AsioDrivers* list = AsioDrivers::active())
            list->removeCurrentDriver();
        theAsioDriver = nullptr;
        return ASE_NotPresent;
    }
    copyText(info->errorMessage, sizeof info->errorMessage, "No ASIO Driver Error");
    char name[40] = {};
    theAsioDriver->getDriverName(name);
    name[sizeof name - 1] = 0;
    copyText(info->name, sizeof info->name, name);
    info->driverVersion = theAsioDriver->getDriverVersion();
    return ASE_OK;
}

ASIOError ASIOExit() {
    if (theAsioDriver) {
        if (AsioDrivers* list = AsioDrivers::active())
            list->removeCurrentDriver();
        else
            theAsioDriver->Release();
    }
    theAsioDriver = nullptr;
    return ASE_OK;
}

ASIOError ASIOStart() {
    return theAsioDriver ? theAsioDriver->start() : ASE_NotPresent;
}

ASIOError ASIOStop() {
    return theAsioDriver ? theAsioDriver->stop() : ASE_NotPresent;
}

ASIOError ASIOGetChannels(ASIOLong* numInputChannels, ASIOLong* numOutputChannels) {
    if (!theAsioDriver) {
        *numInputChannels = *numOutputChannels = 0;
        return ASE_NotPresent;
    }
    return theAsioDriver->getChannels(numInputChannels, numOutputChannels);
}

ASIOError ASIOGetLatencies(ASIOLong* inputLatency, ASIOLong* outputLatency) {
    if (!theAsioDriver) {
        *inputLatency = *outputLatency = 0;
        return ASE_NotPresent;
    }
    return theAsioDriver->getLatencies(inputLatency, outputLatency);
}

ASIOError ASIOGetBufferSize(ASIOLong* minSize, ASIOLong* maxSize, ASIOLong* preferredSize, ASIOLong* granularity) {
    if (!theAsioDriver) {
        *minSize = *maxSize = *preferredSize = *granularity = 0;
        return ASE_NotPresent;
    }
    return theAsioDriver->getBufferSize(minSize, maxSize, preferredSize, granularity);
}

ASIOError ASIOCanSampleRate(ASIOSampleRate sampleRate) {
    return theAsioDriver ? theAsioDriver->canSampleRate(sampleRate) : ASE_NotPresent;
}

ASIOError ASIOGetSampleRate(ASIOSampleRate* currentRate) {
    return theAsioDriver ? theAsioDriver->getSampleRate(currentRate) : ASE_NotPresent;
}

ASIOError ASIOSetSampleRate(ASIOSampleRate sampleRate) {
    return theAsioDriver ? theAsioDriver->setSampleRate(sampleRate) : ASE_NotPresent;
}

ASIOError ASIOGetSamplePosition(ASIOSamples* sPos, ASIOTimeStamp* tStamp) {
    return theAsioDriver ? theAsioDriver->getSamplePosition(sPos, tStamp) : ASE_NotPresent;
}

ASIOError ASIOGetChannelInfo(ASIOChannelInfo* info) {
    if (!theAsioDriver) {
        info->channelGroup = -1;
        info->type = 0;
        copyText(info->name, sizeof info->name, "None");
        return ASE_NotPresent;
    }
    return theAsioDriver->getChannelInfo(info);
}

ASIOError ASIOCreateBuffers(ASIOBufferInfo* bufferInfos, ASIOLong numChannels, ASIOLong bufferSize,
                            ASIOCallbacks* callbacks) {
    if (!theAsioDriver) {
        for (ASIOLong i = 0; i < numChannels; ++i)
            bufferInfos[i].buffers[0] = bufferInfos[i].buffers[1] = nullptr;
        return ASE_NotPresent;
    }
    return theAsioDriver->createBuffers(bufferInfos, numChannels, bufferSize, callbacks);
}

ASIOError ASIODisposeBuffers() {
    return theAsioDriver ? theAsioDriver->disposeBuffers() : ASE_NotPresent;
}

ASIOError ASIOControlPanel() {
    return theAsioDriver ? theAsioDriver->controlPanel() : ASE_NotPresent;
}

ASIOError ASIOOutputReady() {
    return theAsioDriver ? theAsioDriver->outputReady() : ASE_NotPresent;
}
