#include "host/test_host.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {
// audioMaster calls made while an instance is being created arrive before the host
// can tag the effect record; they belong to the host that is creating.
TestHost* creatingHost = nullptr;

bool copyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((from + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = copyTree(from + "\\" + name, to + "\\" + name) && ok;
        else
            ok = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && ok;
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return ok;
}

void removeTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

const char* kInstallKey = "Software\\Vantrope\\Halvorn";
}  // namespace

TestHost::~TestHost() {
    if (fx) close();
    unload();
}

std::string TestHost::programDir() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    size_t slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".\\") : dir.substr(0, slash + 1);
}

std::string TestHost::pluginPath(int outputs) {
    return programDir() + (outputs == 2 ? "stereo\\Halvorn.dll" : "Halvorn.dll");
}

bool TestHost::load(const std::string& path) {
    unload();
    library = LoadLibraryA(path.c_str());
    return library != nullptr;
}

void TestHost::unload() {
    if (library) FreeLibrary(library);
    library = nullptr;
}

FARPROC TestHost::entry(const char* name) const { return library ? GetProcAddress(library, name) : nullptr; }

AEffect* TestHost::create(const char* entryName) {
    typedef AEffect*(VSTCALLBACK * EntryProc)(audioMasterCallback);
    EntryProc main = (EntryProc)(void*)entry(entryName);
    if (!main) return nullptr;
    creatingHost = this;
    fx = main(callback);
    creatingHost = nullptr;
    if (fx) fx->user = this;
    return fx;
}

VstIntPtr TestHost::close() {
    if (!fx) return 0;
    VstIntPtr result = fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.f);
    fx = nullptr;
    return result;
}

VstIntPtr TestHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return fx->dispatcher(fx, opcode, index, value, ptr, opt);
}

std::string TestHost::text(VstInt32 opcode, VstInt32 index) {
    char buffer[256];
    std::memset(buffer, 0, sizeof(buffer));
    dispatch(opcode, index, 0, buffer);
    buffer[sizeof(buffer) - 1] = 0;
    return buffer;
}

VstMidiEvent TestHost::midiEvent(unsigned char status, unsigned char data1, unsigned char data2,
                                 VstInt32 deltaFrames) {
    VstMidiEvent event;
    std::memset(&event, 0, sizeof(event));
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = deltaFrames;
    event.midiData[0] = (char)status;
    event.midiData[1] = (char)data1;
    event.midiData[2] = (char)data2;
    return event;
}

VstIntPtr TestHost::sendMidi(unsigned char status, unsigned char data1, unsigned char data2, VstInt32 deltaFrames) {
    return sendEvents({midiEvent(status, data1, data2, deltaFrames)});
}

VstIntPtr TestHost::sendEvents(const std::vector<VstMidiEvent>& events) {
    size_t count = events.size();
    std::vector<char> storage(sizeof(VstEvents) + (count > 2 ? count - 2 : 0) * sizeof(VstEvent*));
    VstEvents* list = (VstEvents*)storage.data();
    std::vector<VstMidiEvent> copies(events);
    list->numEvents = (VstInt32)count;
    list->reserved = 0;
    for (size_t i = 0; i < count; i++) list->events[i] = (VstEvent*)&copies[i];
    return dispatch(effProcessEvents, 0, 0, list);
}

void TestHost::render(std::vector<std::vector<float>>& outputs, int frames, bool replacing) {
    int channels = fx->numOutputs;
    outputs.resize((size_t)channels);
    std::vector<float*> pointers((size_t)channels);
    for (int c = 0; c < channels; c++) {
        outputs[(size_t)c].resize((size_t)frames);
        pointers[(size_t)c] = outputs[(size_t)c].data();
    }
    if (replacing)
        fx->processReplacing(fx, nullptr, pointers.data(), frames);
    else
        fx->process(fx, nullptr, pointers.data(), frames);
}

int TestHost::countCalls(VstInt32 opcode) const {
    int count = 0;
    for (const HostCall& call : calls)
        if (call.opcode == opcode) count++;
    return count;
}

VstIntPtr VSTCALLBACK TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void* ptr, float opt) {
    TestHost* host = effect && effect->user ? (TestHost*)effect->user : creatingHost;
    if (!host) return opcode == audioMasterVersion ? 2400 : 0;
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    calls.push_back({opcode, index, value, opt});
    switch (opcode) {
        case audioMasterVersion: return answers.version;
        case audioMasterGetVendorString:
            if (!answers.answerVendor || !ptr) return 0;
            std::strncpy((char*)ptr, answers.vendor.c_str(), 63);
            return 1;
        case audioMasterGetProductString:
            if (!answers.answerProduct || !ptr) return 0;
            std::strncpy((char*)ptr, answers.product.c_str(), 63);
            return 1;
        case audioMasterBeginEdit:
        case audioMasterEndEdit: return answers.beginEdit;
        case audioMasterSizeWindow: return answers.sizeWindow;
        case audioMasterGetTime: return (VstIntPtr)answers.timeInfo;
        case audioMasterGetSampleRate: return 44100;
        case audioMasterGetBlockSize: return 512;
        default: return 0;
    }
}

TestInstall::TestInstall() {
    char temp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, temp);
    char name[64];
    std::snprintf(name, sizeof(name), "halvorn-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    root = std::string(temp) + name;
    static int counter = 0;
    root += "-" + std::to_string(counter++);
    copyTree(TestHost::programDir() + "factory", root);

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char value[MAX_PATH + 1] = {0};
        DWORD size = MAX_PATH;
        if (RegQueryValueExA(key, "installdir", nullptr, nullptr, (BYTE*)value, &size) == ERROR_SUCCESS) {
            previous = value;
            hadPrevious = true;
        }
        RegCloseKey(key);
    }
    setRegisteredDir(root);
}

TestInstall::~TestInstall() {
    setRegisteredDir(hadPrevious ? previous : std::string());
    removeTree(root);
}

void TestInstall::setRegisteredDir(const std::string& dir) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (dir.empty())
        RegDeleteValueA(key, "installdir");
    else
        RegSetValueExA(key, "installdir", 0, REG_SZ, (const BYTE*)dir.c_str(), (DWORD)dir.size() + 1);
    RegCloseKey(key);
}

bool TestInstall::removeFile(const std::string& relative) { return DeleteFileA(path(relative).c_str()) != 0; }

bool TestInstall::writeFile(const std::string& relative, const std::string& contents) {
    FILE* file = std::fopen(path(relative).c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return std::fclose(file) == 0 && ok;
}

bool TestInstall::exists(const std::string& relative) const {
    return GetFileAttributesA(path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}
