#include "exporter/CProcessMetrics.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using prometheus::MetricFamily;
using prometheus::MetricType;

std::string ReadFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The next space-separated field of text from pos, as a number.
template <typename T> std::optional<T> NextNumber(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    T value{};
    const auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() + pos) {
        return std::nullopt;
    }
    pos = static_cast<std::size_t>(end - text.data());
    return value;
}

void SkipField(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    while (pos < text.size() && text[pos] != ' ') {
        ++pos;
    }
}

void Add(std::vector<MetricFamily>& out, const char* name, const char* help, MetricType type,
         double value) {
    MetricFamily& family = out.emplace_back();
    family.name = name;
    family.help = help;
    family.type = type;
    auto& metric = family.metric.emplace_back();
    if (type == MetricType::Counter) {
        metric.counter.value = value;
    } else {
        metric.gauge.value = value;
    }
}

double OpenFds() {
    std::error_code ec;
    double count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec)) {
        ++count;
    }
    return count;
}

} // namespace

std::optional<CProcessMetrics::Stat> CProcessMetrics::ParseStat(std::string_view text) {
    // "pid (comm) state ppid ...": the command may hold spaces and parentheses, so the
    // fields are counted from the last closing parenthesis. Field 3 (state) follows it.
    const auto close = text.rfind(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t pos = close + 1;
    Stat stat;
    for (int field = 3; field <= 24; ++field) {
        switch (field) {
        case 14:
        case 15: {
            const auto ticks = NextNumber<unsigned long long>(text, pos);
            if (!ticks) {
                return std::nullopt;
            }
            stat.cpuTicks += static_cast<double>(*ticks);
            break;
        }
        case 20: {
            const auto threads = NextNumber<long>(text, pos);
            if (!threads) {
                return std::nullopt;
            }
            stat.threads = *threads;
            break;
        }
        case 22:
        case 23:
        case 24: {
            const auto value = NextNumber<unsigned long long>(text, pos);
            if (!value) {
                return std::nullopt;
            }
            (field == 22   ? stat.startTicks
             : field == 23 ? stat.virtualBytes
                           : stat.residentPages) = static_cast<double>(*value);
            break;
        }
        default:
            SkipField(text, pos);
            break;
        }
    }
    return stat;
}

std::optional<double> CProcessMetrics::ParseBootTime(std::string_view text) {
    std::size_t line = 0;
    while (line < text.size()) {
        auto end = text.find('\n', line);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const auto row = text.substr(line, end - line);
        if (row.substr(0, 6) == "btime ") {
            std::size_t pos = 6;
            const auto seconds = NextNumber<unsigned long long>(row, pos);
            return seconds ? std::optional<double>(static_cast<double>(*seconds)) : std::nullopt;
        }
        line = end + 1;
    }
    return std::nullopt;
}

std::vector<MetricFamily> CProcessMetrics::Collect() {
    std::vector<MetricFamily> out;
    using T = MetricType;
    const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double pageBytes = static_cast<double>(sysconf(_SC_PAGESIZE));
    if (const auto stat = ParseStat(ReadFile("/proc/self/stat")); stat && ticksPerSecond > 0) {
        Add(out, "process_cpu_seconds_total", "Total user and system CPU time spent in seconds.",
            T::Counter, stat->cpuTicks / ticksPerSecond);
        Add(out, "process_resident_memory_bytes", "Resident memory size in bytes.", T::Gauge,
            stat->residentPages * pageBytes);
        Add(out, "process_virtual_memory_bytes", "Virtual memory size in bytes.", T::Gauge,
            stat->virtualBytes);
        Add(out, "process_threads", "Number of OS threads in the process.", T::Gauge,
            static_cast<double>(stat->threads));
        if (const auto boot = ParseBootTime(ReadFile("/proc/stat"))) {
            Add(out, "process_start_time_seconds",
                "Start time of the process since unix epoch in seconds.", T::Gauge,
                *boot + stat->startTicks / ticksPerSecond);
        }
    }
    Add(out, "process_open_fds", "Number of open file descriptors.", T::Gauge, OpenFds());
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        Add(out, "process_max_fds", "Maximum number of open file descriptors.", T::Gauge,
            static_cast<double>(files.rlim_cur));
    }
    return out;
}
