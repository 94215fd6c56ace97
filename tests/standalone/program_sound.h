// What the program's sound tests share: the stored audio settings that start DirectSound on
// the first device, a document for the instrument with the vibrato off (so that a note's pitch
// can be read), and the capture of wine's mix read back.
#pragma once

#include <windows.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "halvorn_document.h"
#include "host/test_host.h"
#include "signal_measure.h"
#include "standalone_remote.h"

// The program's settings for DirectSound on the first device; false when there is none.
inline bool storeDirectSoundSettings() {
    std::string device = firstSoundDevice();
    HKEY key;
    if (device.empty() || RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vantrope\\Halvorn\\Settings", 0, nullptr, 0,
                                          KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegSetValueExA(key, "protocol", 0, REG_SZ, (const BYTE*)"Direct X", 9);
    RegSetValueExA(key, "driver", 0, REG_SZ, (const BYTE*)device.c_str(), (DWORD)device.size() + 1);
    RegCloseKey(key);
    return true;
}

// A document for the built instrument with its vibrato off; no chunk when it did not load.
inline HalvornDocument documentWithoutVibrato() {
    HalvornDocument doc;
    doc.instrumentName = "Halvorn";
    TestHost host;
    if (!host.load(TestHost::pluginPath(10)) || !host.create("main")) return doc;
    host.effect()->setParameter(host.effect(), 497, 1.f);
    void* data = nullptr;
    VstIntPtr size = host.dispatch(effGetChunk, 0, 0, &data);
    if (data && size > 0) doc.chunk.assign((uint8_t*)data, (uint8_t*)data + size);
    host.close();
    return doc;
}

// The document written to a file of this process in the temporary folder; its path.
inline std::string writeTemporaryDocument(const HalvornDocument& doc, const std::string& name) {
    char temp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "halvorn-" + name + "-" + std::to_string(GetCurrentProcessId()) + ".halvorn";
    std::ofstream out(path, std::ios::binary);
    doc.write(out);
    return path;
}

// The pitch and level of the first sound in the capture, over a fifth of a second from skip
// seconds after its start; a level of 0 when the capture is silent or too short.
struct HeardNote {
    double level = 0, pitch = 0;
};
inline HeardNote firstNoteHeard(const char* capture, double skip) {
    HeardNote heard;
    std::vector<float> left = readLeftChannel(capture);
    size_t first = 0;
    while (first < left.size() && std::fabs(left[first]) < 1e-4f) first++;
    const size_t from = first + (size_t)(skip * 48000), length = 48000 / 5;
    if (from + length > left.size()) return heard;
    heard.level = rms(left, from, length);
    heard.pitch = strongestPartial(left, from, length, 48000.0);
    return heard;
}
