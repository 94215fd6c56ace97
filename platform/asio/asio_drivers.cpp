#include "asio/asio_drivers.h"

#include <objbase.h>

#include <cstdio>

IASIO* theAsioDriver = nullptr;

namespace {

AsioDrivers* activeList = nullptr;

const size_t kNameBuffer = 32;

bool readString(HKEY key, const char* valueName, std::string& out) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > 4096)
        return false;
    std::vector<char> data(size + 1, 0);
    if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return false;
    out.assign(data.data());  // the stored text need not be terminated
    return true;
}

// The in-process server file of a class, when it names a file that opens.
bool serverPath(const std::string& clsidText, std::string& path) {
    std::string keyName = "clsid\\" + clsidText + "\\InprocServer32";
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool found = readString(key, nullptr, path);
    RegCloseKey(key);
    if (!found || path.empty())
        return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::fclose(f);
    return true;
}

}  // namespace

AsioDriverList::AsioDriverList() {
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\asio", 0, KEY_READ, &root) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        char subkey[256];
        DWORD length = sizeof subkey;
        LONG r = RegEnumKeyExA(root, i, subkey, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA)
            continue;
        if (r != ERROR_SUCCESS)
            break;
        HKEY key;
        if (RegOpenKeyExA(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        Entry entry;
        std::string clsidText;
        bool usable = readString(key, "clsid", clsidText) && serverPath(clsidText, entry.path);
        if (usable) {
            std::vector<wchar_t> wide(clsidText.size() + 1, 0);
            MultiByteToWideChar(CP_ACP, 0, clsidText.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
            usable = CLSIDFromString(wide.data(), &entry.clsid) == NOERROR;
        }
        if (usable) {
            if (!readString(key, "description", entry.name))
                entry.name = subkey;
            drivers.push_back(entry);
        }
        RegCloseKey(key);
    }
    RegCloseKey(root);
    if (!drivers.empty()) {
        HRESULT hr = CoInitialize(nullptr);
        comInitialised = SUCCEEDED(hr);
    }
}

AsioDriverList::~AsioDriverList() {
    closeAll();
    if (comInitialised)
        CoUninitialize();
}

std::string AsioDriverList::name(int index) const {
    if (index < 0 || index >= count())
        return std::string();
    const std::string& full = drivers[index].name;
    if (full.size() < kNameBuffer)
        return full;
    return full.substr(0, 28) + "...";
}

std::string AsioDriverList::path(int index) const {
    return index >= 0 && index < count() ? drivers[index].path : std::string();
}

long AsioDriverList::openDriver(int index, IASIO** driver) {
    if (!driver)
        return DRVERR_INVALID_PARAM;
    *driver = nullptr;
    if (index < 0 || index >= count())
        return DRVERR_DEVICE_NOT_FOUND;
    Entry& entry = drivers[index];
    if (entry.driver)
        return DRVERR_DEVICE_ALREADY_OPEN;
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER, entry.clsid, &object);
    if (FAILED(hr) || !object)
        return hr == S_OK ? E_FAIL : hr;
    entry.driver = static_cast<IASIO*>(object);
    *driver = entry.driver;
    return 0;
}

long AsioDriverList::closeDriver(int index) {
    if (index < 0 || index >= count())
        return DRVERR_DEVICE_NOT_FOUND;
    Entry& entry = drivers[index];
    if (entry.driver) {
        entry.driver->Release();
        entry.driver = nullptr;
    }
    return 0;
}

void AsioDriverList::closeAll() {
    for (int i = 0; i < count(); ++i)
        closeDriver(i);
}

AsioDrivers::AsioDrivers() {
    activeList = this;
}

AsioDrivers::~AsioDrivers() {
    removeCurrentDriver();
    if (activeList == this)
        activeList = nullptr;
}

AsioDrivers* AsioDrivers::active() {
    return activeList;
}

void AsioDrivers::removeCurrentDriver() {
    if (current >= 0)
        closeDriver(current);
    current = -1;
    theAsioDriver = nullptr;
}

bool AsioDrivers::loadDriver(const std::string& wanted) {
    for (int i = 0; i < count(); ++i) {
        if (name(i) != wanted)
            continue;
        int previous = current;
        removeCurrentDriver();
        IASIO* driver = nullptr;
        if (openDriver(i, &driver) == 0) {
            current = i;
            theAsioDriver = driver;
            return true;
        }
        if (previous >= 0 && openDriver(previous, &driver) == 0) {
            current = previous;
            theAsioDriver = driver;
        }
        return false;
    }
    return false;
}
