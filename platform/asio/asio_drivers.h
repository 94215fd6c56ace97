// The ASIO drivers registered on the machine (HKLM "software\asio") and the one loaded
// driver that the host layer (asio.h) talks to.
#pragma once

#include <string>
#include <vector>

#include "asio/asio.h"

// Results of opening a driver of the list.
enum {
    DRVERR_INVALID_PARAM = -5001,
    DRVERR_DEVICE_ALREADY_OPEN = -5002,
    DRVERR_DEVICE_NOT_FOUND = -5003,
};

class AsioDriverList {
public:
    // Reads the registry; initialises COM for this thread when any driver is listed.
    AsioDriverList();
    virtual ~AsioDriverList();
    AsioDriverList(const AsioDriverList&) = delete;
    AsioDriverList& operator=(const AsioDriverList&) = delete;

    int count() const { return static_cast<int>(drivers.size()); }
    // The listed name: a name that does not fit a 32-byte text is cut to 28 characters and "...".
    std::string name(int index) const;
    std::string path(int index) const;
    // CoCreateInstance of the driver (its class id as the interface id).
    long openDriver(int index, IASIO** driver);
    long closeDriver(int index);
    void closeAll();

private:
    struct Entry {
        std::string name;
        std::string path;
        CLSID clsid;
        IASIO* driver = nullptr;
    };
    std::vector<Entry> drivers;
    bool comInitialised = false;
};

// The list with its one current driver, which the host layer's calls reach.
class AsioDrivers : public AsioDriverList {
public:
    AsioDrivers();
    ~AsioDrivers() override;

    // Finds the name in list order, releases the current driver and opens that one; when it
    // fails the previous driver is opened again. True when the named driver is open.
    bool loadDriver(const std::string& name);
    void removeCurrentDriver();
    int currentIndex() const { return current; }

    // The list that ASIOExit releases the loaded driver through.
    static AsioDrivers* active();

private:
    int current = -1;
};

// The loaded driver of the host layer (none when 0).
extern IASIO* theAsioDriver;
