#include "presets/store_fixture.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>

#include "host/test_host.h"
#else
#include <unistd.h>

#include "presets/native_file_io.h"
#endif

namespace fs = std::filesystem;

namespace {


std::string unique() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long process = GetCurrentProcessId();
#else
    unsigned long process = (unsigned long)getpid();
#endif
    return "halvorn-store-" + std::to_string(process) + "-" + std::to_string(counter++);
}

std::string native(std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return relative;
}

void registerDir(const std::string& dir) {
#ifdef _WIN32
    TestInstall::setRegisteredDir(dir);
#else
    setNativeInstallDir(dir);
#endif
}

}  // namespace

StoreFixture::StoreFixture() : settings("VEXA") {
    settings.setInstallInfo("Software\\Vantrope\\Halvorn", "Your Halvorn is not correcty installed");
    settings.setDialogInfo(".ays", "Halvorn Preset File (*.ays)|*.ays||");
}

void StoreFixture::SetUp() {
    root = (fs::temp_directory_path() / unique()).string();
    fs::remove_all(root);
    fs::create_directories(fs::path(root) / "save");
    write("save/controlMidi", "");
    registerDir(root);
}

void StoreFixture::TearDown() {
    registerDir("");
    std::error_code error;
    fs::remove_all(root, error);
}

std::string StoreFixture::path(const std::string& relative) const { return (fs::path(root) / native(relative)).string(); }

void StoreFixture::write(const std::string& relative, const std::string& contents) const {
    fs::create_directories(fs::path(path(relative)).parent_path());
    std::ofstream out(path(relative), std::ios::binary);
    out << contents;
}

std::string StoreFixture::read(const std::string& relative) const {
    std::ifstream in(path(relative), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool StoreFixture::exists(const std::string& relative) const { return fs::exists(path(relative)); }

void StoreFixture::makeDir(const std::string& relative) const { fs::create_directories(path(relative)); }

void StoreFixture::remove(const std::string& relative) const { fs::remove_all(path(relative)); }

std::vector<std::string> StoreFixture::entries(const std::string& relative) const {
    std::vector<std::string> found;
    fs::path base(path(relative));
    for (auto it = fs::recursive_directory_iterator(base); it != fs::recursive_directory_iterator(); ++it) {
        std::string name = native(fs::relative(it->path(), base).string());
        found.push_back(it->is_directory() ? name + "/" : name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

void StoreFixture::addBank(int a, const std::string& name, bool factory) const {
    write("save/P" + std::to_string(a) + "/NomPreset", factory ? name + " FACTORY" : name);
}

void StoreFixture::addSubBank(int a, int b, const std::string& name) const {
    write("save/P" + std::to_string(a) + "/B" + std::to_string(b) + "/NomBanque", name);
}

void StoreFixture::addPreset(int a, int b, int c, const std::string& name, const std::string& parameters) const {
    std::string dir = "save/P" + std::to_string(a) + "/B" + std::to_string(b) + "/I" + std::to_string(c);
    write(dir + "/NomInstrument", name);
    write(dir + "/Parametres", parameters);
}

void StoreFixture::unregister() const { registerDir(""); }
void StoreFixture::reregister() const { registerDir(root); }
void StoreFixture::registerAt(const std::string& dir) const { registerDir(dir); }

std::string chunk(const std::string& tag, const std::string& payload) {
    std::string bytes = tag.substr(0, 4);
    bytes += (char)((payload.size() >> 8) & 0xFF);
    bytes += (char)(payload.size() & 0xFF);
    return bytes + payload;
}
