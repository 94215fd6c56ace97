// The editor takes OLE when the instrument is created and gives it back when it goes, only
// when it took it, and only on the thread that took it. The built plug-in's two OLE imports
// are routed through counters here, as a host loads it, so every call is seen with its
// thread and result; the threads' apartments are checked afterwards as well.
#include <gtest/gtest.h>

#include <objbase.h>
#include <ole2.h>

#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "host/test_host.h"

namespace {

struct OleCall {
    DWORD thread;
    bool initialise;
    HRESULT result;
};

std::mutex callsLock;
std::vector<OleCall> oleCalls;

typedef HRESULT(WINAPI* InitialiseFunction)(LPVOID);
typedef void(WINAPI* UninitialiseFunction)();
InitialiseFunction realInitialise = nullptr;
UninitialiseFunction realUninitialise = nullptr;

HRESULT WINAPI countedInitialise(LPVOID reserved) {
    HRESULT result = realInitialise(reserved);
    std::lock_guard<std::mutex> hold(callsLock);
    oleCalls.push_back({GetCurrentThreadId(), true, result});
    return result;
}

void WINAPI countedUninitialise() {
    realUninitialise();
    std::lock_guard<std::mutex> hold(callsLock);
    oleCalls.push_back({GetCurrentThreadId(), false, S_OK});
}

// Points the module's import of function from dll at replacement; answers the entry it held
// (null when the module does not import it).
void* redirectImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    BYTE* base = (BYTE*)module;
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress); d->Name; d++) {
        if (_stricmp((const char*)(base + d->Name), dll) != 0 || !d->OriginalFirstThunk) continue;
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; names++, slots++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME* byName = (IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
            if (strcmp((const char*)byName->Name, function) != 0) continue;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            void* previous = (void*)slots->u1.Function;
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            return previous;
        }
    }
    return nullptr;
}

// Runs steps on a thread of its own and waits for it.
void onNewThread(const std::function<void()>& steps) { std::thread(steps).join(); }

// S_OK when the calling thread had no apartment (which this call then gives back at once).
HRESULT apartmentProbe(DWORD model) {
    HRESULT result = CoInitializeEx(nullptr, model);
    if (SUCCEEDED(result)) CoUninitialize();
    return result;
}

class EditorOle : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(host.load(TestHost::pluginPath(10)));
        realInitialise = (InitialiseFunction)redirectImport(host.module(), "ole32.dll", "OleInitialize",
                                                            (void*)&countedInitialise);
        realUninitialise = (UninitialiseFunction)redirectImport(host.module(), "ole32.dll", "OleUninitialize",
                                                                (void*)&countedUninitialise);
        ASSERT_NE(realInitialise, nullptr) << "the plug-in imports OleInitialize";
        ASSERT_NE(realUninitialise, nullptr) << "the plug-in imports OleUninitialize";
        oleCalls.clear();
    }
    void TearDown() override {
        if (host.effect()) host.close();
    }

    std::vector<OleCall> callsOf(bool initialise) {
        std::vector<OleCall> out;
        for (const OleCall& call : oleCalls)
            if (call.initialise == initialise) out.push_back(call);
        return out;
    }

    TestInstall install;
    TestHost host;
};

TEST_F(EditorOle, GivesBackWhatItTookOnItsThread) {
    DWORD thread = 0;
    HRESULT afterwards = E_FAIL;
    onNewThread([&] {
        thread = GetCurrentThreadId();
        ASSERT_NE(host.create(), nullptr);
        host.close();
        afterwards = apartmentProbe(COINIT_APARTMENTTHREADED);
    });
    std::vector<OleCall> taken = callsOf(true), given = callsOf(false);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].thread, thread);
    EXPECT_EQ(taken[0].result, S_OK);
    ASSERT_EQ(given.size(), 1u);
    EXPECT_EQ(given[0].thread, thread);
    EXPECT_EQ(afterwards, S_OK) << "the thread is left without an apartment, as it was found";
}

TEST_F(EditorOle, TakesAndGivesBackAnotherCountOnAThreadThatHasOle) {
    HRESULT afterwards = E_FAIL;
    onNewThread([&] {
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
        ASSERT_NE(host.create(), nullptr);
        host.close();
        afterwards = apartmentProbe(COINIT_APARTMENTTHREADED);
        OleUninitialize();
    });
    std::vector<OleCall> taken = callsOf(true);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].result, S_FALSE);
    EXPECT_EQ(callsOf(false).size(), 1u);
    EXPECT_EQ(afterwards, S_FALSE) << "the host's own hold on OLE is untouched";
}

// OLE needs a single-threaded apartment: on a thread the host put in the multithreaded one
// the initialise fails, and there is nothing to give back.
TEST_F(EditorOle, GivesNothingBackAfterAFailedInitialise) {
    HRESULT afterwards = E_FAIL;
    onNewThread([&] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_NE(host.create(), nullptr);
        host.close();
        afterwards = apartmentProbe(COINIT_MULTITHREADED);
        CoUninitialize();
    });
    std::vector<OleCall> taken = callsOf(true);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].result, RPC_E_CHANGED_MODE);
    EXPECT_TRUE(callsOf(false).empty()) << "an initialise that failed is not undone";
    EXPECT_EQ(afterwards, S_FALSE) << "the thread is still in the multithreaded apartment";
}

// A host that creates the instrument on one thread and closes it on another: the closing
// thread's own OLE is not the editor's to give back.
TEST_F(EditorOle, GivesNothingBackOnAnotherThread) {
    DWORD creator = 0;
    onNewThread([&] {
        creator = GetCurrentThreadId();
        ASSERT_NE(host.create(), nullptr);
    });
    HRESULT afterwards = E_FAIL;
    onNewThread([&] {
        ASSERT_EQ(OleInitialize(nullptr), S_OK);
        host.close();
        afterwards = apartmentProbe(COINIT_APARTMENTTHREADED);
        OleUninitialize();
    });
    std::vector<OleCall> taken = callsOf(true);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].thread, creator);
    EXPECT_TRUE(callsOf(false).empty()) << "closed on a thread that did not take OLE";
    EXPECT_EQ(afterwards, S_FALSE) << "the closing thread keeps its own OLE";
}

}  // namespace
