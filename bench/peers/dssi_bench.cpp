// dssi_bench: offline render-cost benchmark for DSSI instrument plugins.
//
// Loads a DSSI plugin, instantiates it at 44100 Hz, holds N notes and times
// run_synth() over a fixed amount of audio in fixed-size blocks, measuring the
// CPU time of the rendering thread. Prints one machine-readable summary line.
//
// Build: g++ -O2 -std=c++17 -o dssi_bench dssi_bench.cpp -ldl
#include <dssi.h>
#include <ladspa.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pmmintrin.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

const unsigned long kRate = 44100;

double clockSeconds(clockid_t id)
{
    timespec ts;
    clock_gettime(id, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

[[noreturn]] void die(const char *fmt, const char *arg = "")
{
    std::fprintf(stderr, "dssi_bench: ");
    std::fprintf(stderr, fmt, arg);
    std::fprintf(stderr, "\n");
    std::exit(2);
}

// Value a LADSPA host would use for a control port without a user setting.
float portDefault(const LADSPA_PortRangeHint &h)
{
    const LADSPA_PortRangeHintDescriptor d = h.HintDescriptor;
    float lo = h.LowerBound, hi = h.UpperBound;
    if (LADSPA_IS_HINT_SAMPLE_RATE(d)) {
        lo *= kRate;
        hi *= kRate;
    }
    const bool logScale = LADSPA_IS_HINT_LOGARITHMIC(d) && lo > 0 && hi > 0;
    auto between = [&](float w) {
        return logScale ? std::exp(std::log(lo) * (1 - w) + std::log(hi) * w)
                        : lo * (1 - w) + hi * w;
    };
    float v = 0;
    switch (d & LADSPA_HINT_DEFAULT_MASK) {
    case LADSPA_HINT_DEFAULT_MINIMUM: v = lo; break;
    case LADSPA_HINT_DEFAULT_LOW: v = between(0.25f); break;
    case LADSPA_HINT_DEFAULT_MIDDLE: v = between(0.5f); break;
    case LADSPA_HINT_DEFAULT_HIGH: v = between(0.75f); break;
    case LADSPA_HINT_DEFAULT_MAXIMUM: v = hi; break;
    case LADSPA_HINT_DEFAULT_0: v = 0; break;
    case LADSPA_HINT_DEFAULT_1: v = 1; break;
    case LADSPA_HINT_DEFAULT_100: v = 100; break;
    case LADSPA_HINT_DEFAULT_440: v = 440; break;
    default:
        if (LADSPA_IS_HINT_BOUNDED_BELOW(d)) v = lo;
        if (LADSPA_IS_HINT_BOUNDED_ABOVE(d) && v > hi) v = hi;
        break;
    }
    if (LADSPA_IS_HINT_INTEGER(d)) v = std::round(v);
    if (LADSPA_IS_HINT_TOGGLED(d)) v = v > 0 ? 1.0f : 0.0f;
    return v;
}

// ---- minimal OSC over loopback UDP (used for plugins that run an OSC server) ----

void pad4(std::string &s)
{
    s.push_back('\0');
    while (s.size() % 4) s.push_back('\0');
}

void putBE32(std::string &s, uint32_t v)
{
    const uint32_t be = htonl(v);
    s.append(reinterpret_cast<const char *>(&be), 4);
}

// UDP ports bound by sockets that this process owns (IPv4 table first, then IPv6).
std::vector<std::pair<int, bool>> ownUdpPorts()
{
    std::set<unsigned long> inodes;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (dirent *e = readdir(dir)) {
            char link[300], target[128];
            std::snprintf(link, sizeof link, "/proc/self/fd/%s", e->d_name);
            const ssize_t n = readlink(link, target, sizeof target - 1);
            if (n <= 0) continue;
            target[n] = 0;
            unsigned long ino;
            if (std::sscanf(target, "socket:[%lu]", &ino) == 1) inodes.insert(ino);
        }
        closedir(dir);
    }
    std::vector<std::pair<int, bool>> ports;
    const char *tables[] = {"/proc/self/net/udp", "/proc/self/net/udp6"};
    for (int t = 0; t < 2; ++t) {
        FILE *f = std::fopen(tables[t], "r");
        if (!f) continue;
        char line[512];
        std::fgets(line, sizeof line, f);  // header
        while (std::fgets(line, sizeof line, f)) {
            char local[128], remote[128];
            unsigned st, uid;
            unsigned long txq, rxq, tr, when, retr, timeout, ino;
            int sl;
            if (std::sscanf(line, " %d: %127s %127s %x %lx:%lx %lx:%lx %lx %u %lu %lu", &sl, local,
                            remote, &st, &txq, &rxq, &tr, &when, &retr, &uid, &timeout,
                            &ino) != 12)
                continue;
            if (!inodes.count(ino)) continue;
            const char *colon = std::strrchr(local, ':');
            if (colon) ports.emplace_back(int(std::strtol(colon + 1, nullptr, 16)), t == 1);
        }
        std::fclose(f);
    }
    return ports;
}

struct OscLink {
    int fd = -1;
    sockaddr_storage dest{};
    socklen_t destLen = 0;

    bool connectTo(int port, bool ipv6)
    {
        if (ipv6) {
            fd = socket(AF_INET6, SOCK_DGRAM, 0);
            sockaddr_in6 *a = reinterpret_cast<sockaddr_in6 *>(&dest);
            a->sin6_family = AF_INET6;
            a->sin6_port = htons(port);
            a->sin6_addr = in6addr_loopback;
            destLen = sizeof *a;
        } else {
            fd = socket(AF_INET, SOCK_DGRAM, 0);
            sockaddr_in *a = reinterpret_cast<sockaddr_in *>(&dest);
            a->sin_family = AF_INET;
            a->sin_port = htons(port);
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            destLen = sizeof *a;
        }
        if (fd < 0) return false;
        fcntl(fd, F_SETFL, O_NONBLOCK);
        return true;
    }

    // type: 'i', 'f', 'T' or 'F' (booleans, value ignored), or 0 for a query without arguments.
    void send(const std::string &path, char type, double value)
    {
        std::string m = path;
        pad4(m);
        std::string tags = ",";
        if (type == 'T' || type == 'F') type = value != 0 ? 'T' : 'F';
        if (type) tags.push_back(type);
        pad4(tags);
        m += tags;
        if (type == 'i') putBE32(m, uint32_t(int32_t(std::lround(value))));
        if (type == 'f') {
            float f = float(value);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            putBE32(m, bits);
        }
        sendto(fd, m.data(), m.size(), 0, reinterpret_cast<sockaddr *>(&dest), destLen);
    }

    // Reads one pending message; returns false if none. Decodes a first int or float argument.
    bool receive(std::string &path, std::string &types, double &value)
    {
        char buf[4096];
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        const size_t len = size_t(n);
        path.assign(buf, strnlen(buf, len));
        size_t off = (path.size() + 4) & ~size_t(3);
        types.clear();
        value = NAN;
        if (off < len && buf[off] == ',') {
            types.assign(buf + off + 1, strnlen(buf + off + 1, len - off - 1));
            off = (off + 1 + types.size() + 4) & ~size_t(3);
            if (!types.empty() && (types[0] == 'T' || types[0] == 'F')) value = types[0] == 'T';
            if (!types.empty() && off + 4 <= len) {
                uint32_t be;
                std::memcpy(&be, buf + off, 4);
                const uint32_t v = ntohl(be);
                if (types[0] == 'i') value = int32_t(v);
                if (types[0] == 'f') {
                    float f;
                    std::memcpy(&f, &v, 4);
                    value = f;
                }
            }
        }
        return true;
    }
};

struct OscSet {
    std::string path;
    char type;
    double value;
};

struct Options {
    std::string plugin, label;
    int voices = 1, block = 64, reps = 5, noteBase = 36, noteStep = 2, velocity = 100;
    double seconds = 10.0, warmup = 1.0;
    bool list = false, ftz = true;
    long bank = -1, program = -1;
    std::vector<std::pair<std::string, float>> sets;
    std::vector<OscSet> osc;
};

void usage()
{
    std::fprintf(stderr,
                 "usage: dssi_bench --plugin FILE.so [--label LABEL] [--list]\n"
                 "  [--voices N=1] [--block FRAMES=64] [--seconds S=10] [--reps R=5] [--warmup S=1]\n"
                 "  [--set PORTNAME=VALUE]... [--program BANK:PROGRAM]\n"
                 "  [--osc /path:i:VALUE | /path:f:VALUE | /path:T:1]...  (sent to the plugin's own\n"
                 "      UDP OSC server on this machine's loopback, each read back afterwards)\n"
                 "  [--note-base 36] [--note-step 2] [--velocity 100] [--no-ftz]\n");
    std::exit(2);
}

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char * {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (a == "--plugin") o.plugin = next();
        else if (a == "--label") o.label = next();
        else if (a == "--list") o.list = true;
        else if (a == "--voices") o.voices = std::atoi(next());
        else if (a == "--block") o.block = std::atoi(next());
        else if (a == "--seconds") o.seconds = std::atof(next());
        else if (a == "--reps") o.reps = std::atoi(next());
        else if (a == "--warmup") o.warmup = std::atof(next());
        else if (a == "--note-base") o.noteBase = std::atoi(next());
        else if (a == "--note-step") o.noteStep = std::atoi(next());
        else if (a == "--velocity") o.velocity = std::atoi(next());
        else if (a == "--no-ftz") o.ftz = false;
        else if (a == "--set") {
            const std::string kv = next();
            const size_t eq = kv.rfind('=');
            if (eq == std::string::npos) usage();
            o.sets.emplace_back(kv.substr(0, eq), std::strtof(kv.c_str() + eq + 1, nullptr));
        } else if (a == "--program") {
            if (std::sscanf(next(), "%ld:%ld", &o.bank, &o.program) != 2) usage();
        } else if (a == "--osc") {
            const std::string s = next();
            const size_t c2 = s.rfind(':'), c1 = c2 == std::string::npos ? c2 : s.rfind(':', c2 - 1);
            if (c1 == std::string::npos || c2 != c1 + 2) usage();
            o.osc.push_back({s.substr(0, c1), s[c1 + 1], std::atof(s.c_str() + c2 + 1)});
        } else usage();
    }
    if (o.plugin.empty() || o.block <= 0 || o.voices < 0 || o.voices > 64 || o.reps <= 0 ||
        o.seconds <= 0)
        usage();
    const int top = o.noteBase + (o.voices > 0 ? o.voices - 1 : 0) * o.noteStep;
    if (o.noteBase < 0 || top > 127) die("notes out of MIDI range%s");
    return o;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

int main(int argc, char **argv)
{
    const Options opt = parse(argc, argv);
    if (opt.ftz) _mm_setcsr(_mm_getcsr() | _MM_FLUSH_ZERO_ON | _MM_DENORMALS_ZERO_ON);

    void *lib = dlopen(opt.plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) die("dlopen failed: %s", dlerror());
    auto getDesc = reinterpret_cast<DSSI_Descriptor_Function>(dlsym(lib, "dssi_descriptor"));
    if (!getDesc) die("%s has no dssi_descriptor", opt.plugin.c_str());
    const DSSI_Descriptor *dd = nullptr;
    for (unsigned long i = 0; const DSSI_Descriptor *d = getDesc(i); ++i)
        if (opt.label.empty() || opt.label == d->LADSPA_Plugin->Label) {
            dd = d;
            break;
        }
    if (!dd) die("no DSSI plugin with label '%s'", opt.label.c_str());
    const LADSPA_Descriptor *ld = dd->LADSPA_Plugin;
    if (!dd->run_synth) die("plugin '%s' has no run_synth", ld->Label);

    LADSPA_Handle h = ld->instantiate(ld, kRate);
    if (!h) die("instantiate failed%s");

    const unsigned long nPorts = ld->PortCount;
    std::vector<float> control(nPorts, 0.0f);
    std::vector<std::vector<float>> audio(nPorts);
    std::vector<unsigned long> outs;
    for (unsigned long p = 0; p < nPorts; ++p) {
        const LADSPA_PortDescriptor pd = ld->PortDescriptors[p];
        if (LADSPA_IS_PORT_AUDIO(pd)) {
            audio[p].assign(size_t(opt.block), 0.0f);
            ld->connect_port(h, p, audio[p].data());
            if (LADSPA_IS_PORT_OUTPUT(pd)) outs.push_back(p);
        } else {
            control[p] = LADSPA_IS_PORT_INPUT(pd) ? portDefault(ld->PortRangeHints[p]) : 0.0f;
            ld->connect_port(h, p, &control[p]);
        }
    }
    for (const auto &kv : opt.sets) {
        bool found = false;
        for (unsigned long p = 0; p < nPorts; ++p)
            if (kv.first == ld->PortNames[p] && LADSPA_IS_PORT_CONTROL(ld->PortDescriptors[p])) {
                control[p] = kv.second;
                found = true;
            }
        if (!found) die("no control port named '%s' (use --list)", kv.first.c_str());
    }

    if (opt.list) {
        std::printf("plugin %s label=%s name=\"%s\" ports=%lu\n", opt.plugin.c_str(), ld->Label,
                    ld->Name, nPorts);
        for (unsigned long p = 0; p < nPorts; ++p) {
            const LADSPA_PortDescriptor pd = ld->PortDescriptors[p];
            const LADSPA_PortRangeHint &rh = ld->PortRangeHints[p];
            std::printf("  %3lu %-6s %-7s %-28s", p, LADSPA_IS_PORT_INPUT(pd) ? "in" : "out",
                        LADSPA_IS_PORT_AUDIO(pd) ? "audio" : "control", ld->PortNames[p]);
            if (LADSPA_IS_PORT_CONTROL(pd))
                std::printf(" range=[%g,%g] hint=0x%x value=%g", rh.LowerBound, rh.UpperBound,
                            unsigned(rh.HintDescriptor), control[p]);
            std::printf("\n");
        }
        if (dd->get_program)
            for (unsigned long i = 0; i < 8; ++i) {
                const DSSI_Program_Descriptor *pr = dd->get_program(h, i);
                if (!pr) break;
                std::printf("  program %lu: bank %lu prog %lu \"%s\"\n", i, pr->Bank, pr->Program,
                            pr->Name);
            }
        ld->cleanup(h);
        return 0;
    }

    if (ld->activate) ld->activate(h);
    if (opt.bank >= 0 && dd->select_program) dd->select_program(h, opt.bank, opt.program);

    const int block = opt.block;
    auto render = [&](snd_seq_event_t *ev, unsigned long nev) {
        dd->run_synth(h, block, ev, nev);
    };
    auto peakOfBlock = [&](double &peak, double &sumSq) {
        for (unsigned long p : outs)
            for (int i = 0; i < block; ++i) {
                const double s = audio[p][size_t(i)];
                peak = std::max(peak, std::fabs(s));
                sumSq += s * s;
            }
    };
    auto blocksFor = [&](double seconds) { return long(std::ceil(seconds * kRate / block)); };

    // Settings sent to the plugin's own OSC server (if it has one), confirmed by a read-back.
    std::string oscReport;
    if (!opt.osc.empty()) {
        // Let the plugin's background threads settle, rendering silence meanwhile.
        for (int i = 0; i < 50; ++i) {
            render(nullptr, 0);
            usleep(2000);
        }
        const auto ports = ownUdpPorts();
        if (ports.empty()) die("--osc given but the plugin opened no UDP port%s");
        OscLink link;
        if (!link.connectTo(ports.front().first, ports.front().second))
            die("cannot open UDP socket%s");
        for (const OscSet &s : opt.osc) link.send(s.path, s.type, s.value);
        for (int i = 0; i < 50; ++i) {  // let the setting reach the audio side
            render(nullptr, 0);
            usleep(2000);
        }
        for (const OscSet &s : opt.osc) {
            link.send(s.path, 0, 0);
            double got = NAN;
            for (int i = 0; i < 500 && std::isnan(got); ++i) {
                render(nullptr, 0);
                usleep(2000);
                std::string path, types;
                double v;
                while (link.receive(path, types, v))
                    if (path == s.path) got = v;
            }
            char buf[256];
            std::snprintf(buf, sizeof buf, "%s%s=%g(readback=%g)", oscReport.empty() ? "" : ",",
                          s.path.c_str(), s.value, got);
            oscReport += buf;
            if (std::isnan(got) || std::fabs(got - s.value) > 1e-6) {
                std::fprintf(stderr, "dssi_bench: OSC %s read back as %g, wanted %g\n",
                             s.path.c_str(), got, s.value);
                return 3;  // the patch is not what was asked for: measuring it would mislead
            }
        }
    }

    // Hold the notes from the first warm-up block on.
    std::vector<snd_seq_event_t> noteOns(size_t(opt.voices));
    for (int v = 0; v < opt.voices; ++v) {
        snd_seq_event_t &e = noteOns[size_t(v)];
        std::memset(&e, 0, sizeof e);
        e.type = SND_SEQ_EVENT_NOTEON;
        e.time.tick = 0;
        e.data.note.channel = 0;
        e.data.note.note = (unsigned char)(opt.noteBase + v * opt.noteStep);
        e.data.note.velocity = (unsigned char)opt.velocity;
    }
    render(noteOns.data(), noteOns.size());
    double warmPeak = 0, warmSq = 0;
    for (long b = 1; b < blocksFor(opt.warmup); ++b) {
        render(nullptr, 0);
        peakOfBlock(warmPeak, warmSq);
    }

    const long nBlocks = blocksFor(opt.seconds);
    const double audioSeconds = double(nBlocks) * block / kRate;
    const long checkBlocks = std::max(1L, blocksFor(0.25));
    std::vector<double> cpu, wall, proc;
    double peak = 0, lastPeak = 0, sumSq = 0;
    long checkSamples = 0;
    for (int r = 0; r < opt.reps; ++r) {
        const double p0 = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double w0 = clockSeconds(CLOCK_MONOTONIC);
        const double t0 = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (long b = 0; b < nBlocks; ++b) render(nullptr, 0);
        const double t1 = clockSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double w1 = clockSeconds(CLOCK_MONOTONIC);
        const double p1 = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
        cpu.push_back(t1 - t0);
        wall.push_back(w1 - w0);
        proc.push_back(p1 - p0);
        // Untimed check that the held notes still sound.
        lastPeak = 0;
        for (long b = 0; b < checkBlocks; ++b) {
            render(nullptr, 0);
            peakOfBlock(lastPeak, sumSq);
        }
        peak = std::max(peak, lastPeak);
        checkSamples += checkBlocks * block * long(outs.size());
        std::fprintf(stderr, "  rep %d: cpu %.4f s wall %.4f s proc %.4f s for %.2f s audio -> rtf %.1f\n",
                     r + 1, t1 - t0, w1 - w0, p1 - p0, audioSeconds, audioSeconds / (t1 - t0));
    }
    if (ld->deactivate) ld->deactivate(h);
    ld->cleanup(h);

    std::vector<double> rtf;
    for (double c : cpu) rtf.push_back(audioSeconds / c);
    const double medCpu = median(cpu);
    const double cpuPerSec = medCpu / audioSeconds;
    const double samples = double(nBlocks) * block;
    char nsPerVoice[32] = "-";
    if (opt.voices > 0)
        std::snprintf(nsPerVoice, sizeof nsPerVoice, "%.2f", medCpu * 1e9 / (samples * opt.voices));
    const double rms = checkSamples ? std::sqrt(sumSq / double(checkSamples)) : 0.0;
    std::printf("RESULT plugin=%s label=%s voices=%d block=%d audio_s=%.3f reps=%d "
                "cpu_s_per_audio_s=%.5f rtf_median=%.2f rtf_min=%.2f rtf_max=%.2f "
                "ns_per_sample=%.2f ns_per_voice_sample=%s proc_cpu_over_thread=%.3f "
                "wall_over_cpu=%.3f peak=%.4f last_peak=%.4f rms=%.4f warm_peak=%.4f ftz=%d%s%s\n",
                opt.plugin.c_str(), ld->Label, opt.voices, block, audioSeconds, opt.reps, cpuPerSec,
                median(rtf), *std::min_element(rtf.begin(), rtf.end()),
                *std::max_element(rtf.begin(), rtf.end()), medCpu * 1e9 / samples, nsPerVoice,
                median(proc) / medCpu, median(wall) / medCpu, peak, lastPeak, rms, warmPeak, opt.ftz ? 1 : 0,
                oscReport.empty() ? "" : " osc=", oscReport.c_str());
    return 0;
}
