// A small VST 2.4 host for tests: loads a built plug-in library with LoadLibrary,
// creates instances through its entry point with a recording audioMaster, drives the
// dispatcher, sends MIDI events and renders.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "vst/aeffectx.h"

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

struct HostAnswers {
    VstIntPtr version = 2400;  // audioMasterVersion
    bool answerVendor = true;
    std::string vendor = "Test Vendor";
    bool answerProduct = true;
    std::string product = "Test Host";
    VstIntPtr beginEdit = 1;
    VstIntPtr sizeWindow = 1;
    VstTimeInfo* timeInfo = nullptr;  // answer to audioMasterGetTime
};

class TestHost {
public:
    TestHost() = default;
    ~TestHost();

    // The folder of the running test program, with a trailing backslash.
    static std::string programDir();
    // The built plug-in of the given output count beside the tests.
    static std::string pluginPath(int outputs = 10);

    bool load(const std::string& path);
    void unload();
    HMODULE module() const { return library; }
    FARPROC entry(const char* name) const;

    // Calls the named entry point with this host's callback; null when it refuses.
    AEffect* create(const char* entryName = "VSTPluginMain");
    // effClose; answers what the dispatcher answered.
    VstIntPtr close();

    AEffect* effect() const { return fx; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.f);
    std::string text(VstInt32 opcode, VstInt32 index = 0);  // a dispatcher call that writes a text

    // A short MIDI event of three bytes at a delta frame.
    static VstMidiEvent midiEvent(unsigned char status, unsigned char data1, unsigned char data2,
                                  VstInt32 deltaFrames = 0);
    // MIDI: a single short event through effProcessEvents.
    VstIntPtr sendMidi(unsigned char status, unsigned char data1, unsigned char data2, VstInt32 deltaFrames = 0);
    VstIntPtr sendEvents(const std::vector<VstMidiEvent>& events);

    // Renders frames into per-output buffers (replacing, or accumulating onto the given contents).
    void render(std::vector<std::vector<float>>& outputs, int frames, bool replacing = true);

    HostAnswers answers;
    std::vector<HostCall> calls;
    int countCalls(VstInt32 opcode) const;

private:
    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    HMODULE library = nullptr;
    AEffect* fx = nullptr;
};

// A temporary installation directory registered under the plug-in's registry key, filled
// with a copy of the factory files; the registry value is restored when it ends.
class TestInstall {
public:
    TestInstall();
    ~TestInstall();

    const std::string& dir() const { return root; }
    std::string path(const std::string& relative) const { return root + "\\" + relative; }
    bool removeFile(const std::string& relative);
    bool writeFile(const std::string& relative, const std::string& contents);
    bool exists(const std::string& relative) const;

    // Points the registry value at another directory (or removes it with an empty text).
    static void setRegisteredDir(const std::string& dir);

private:
    std::string root;
    std::string previous;
    bool hadPrevious = false;
};

// A whole file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);

// The lines of a text file's contents, with CR LF or LF endings.
std::vector<std::string> linesOf(const std::string& text);
