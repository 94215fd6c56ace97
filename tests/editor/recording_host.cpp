#include "editor/recording_host.h"

#include <cstring>
#include <mutex>

namespace {
std::mutex mutex;
std::vector<HostCall> recorded;
std::string vendor, product;
}  // namespace

namespace RecordingHost {
VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetVendorString:
    case audioMasterGetProductString: {
        std::lock_guard<std::mutex> lock(mutex);
        const std::string& text = opcode == audioMasterGetVendorString ? vendor : product;
        if (text.empty() || !ptr) return 0;
        strcpy((char*)ptr, text.c_str());
        return 1;
    }
    case audioMasterAutomate:
    case audioMasterSizeWindow:
    case audioMasterBeginEdit:
    case audioMasterEndEdit: {
        std::lock_guard<std::mutex> lock(mutex);
        recorded.push_back({opcode, index, value, opt});
        return 1;
    }
    default:
        return 0;
    }
}

void setNames(const std::string& vendorName, const std::string& productName) {
    std::lock_guard<std::mutex> lock(mutex);
    vendor = vendorName;
    product = productName;
}

void clear() {
    std::lock_guard<std::mutex> lock(mutex);
    recorded.clear();
}

std::vector<HostCall> calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return recorded;
}

std::vector<HostCall> callsFor(int index) {
    std::vector<HostCall> found;
    for (const HostCall& call : calls())
        if (call.index == index) found.push_back(call);
    return found;
}

std::string bracketsOf(int index) {
    std::string out;
    for (const HostCall& call : callsFor(index)) {
        char c = call.opcode == audioMasterBeginEdit ? 'B' : call.opcode == audioMasterEndEdit ? 'E' : 'A';
        if (c == 'A' && !out.empty() && out.back() == 'A') continue;
        out += c;
    }
    return out;
}
}  // namespace RecordingHost
