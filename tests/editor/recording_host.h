// An audioMaster callback for instruments created inside a test program: it answers the
// version and the host's names the test sets, and records automation and edit brackets.
#pragma once

#include <string>
#include <vector>

#include "host/test_host.h"

namespace RecordingHost {
VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt);
// Empty names are not answered.
void setNames(const std::string& vendor, const std::string& product);
void clear();
std::vector<HostCall> calls();
std::vector<HostCall> callsFor(int index);
// The calls for one index as letters: "B" beginEdit, "A" a run of values, "E" endEdit.
std::string bracketsOf(int index);
}  // namespace RecordingHost
