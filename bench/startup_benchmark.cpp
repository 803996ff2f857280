// Start-up and closing of the real Lumarest.exe against the least program
// that loads the same libraries and shows a window of the same size
// (minimal_window.exe, built in the tree), and the cost per added plug-in.
//
// Each comparison installs the programs alike (a copy of the program, the
// installation's files and a copy of the plug-ins folder as "Plugins") and
// runs them alternately, so that a machine whose load changes meanwhile
// slows all alike; it prints the medians of the runs and their ratios:
//   start-up: from the process's creation until its main window is visible;
//   closing: from the close request (WM_CLOSE posted to that window) until
//            the process has ended.
// Beside the host's figures it prints the medians of the phases that the
// host's own start-up trace logs once its first paint is done.
//
// First with the shipped plug-ins of the build's installation; then with
// trees of trivial plug-ins (each a copy of one minimal DLL in a folder of
// its own), giving the cost per added plug-in of the host and of the minimal
// program, which only calls LoadLibraryExW on the same DLLs, and their ratio.
//
// Usage: startup_benchmark.exe [--runs N] [--shipped-only] [plug-in counts...]
//        (default: 9 runs of each program, counts 4 50 200)
// LUMAREST_EXE and LUMAREST_BENCH_INSTALLATION name another build's program
// and installation folder (its shipped plug-ins), to measure it the same way;
// LUMAREST_BENCH_EARLIER_EXE and LUMAREST_BENCH_EARLIER_INSTALLATION add an
// earlier build of the host, started in every round between this build and
// the minimal program, so that a change is measured before and after in one
// go; LUMAREST_BENCH_BASELINE_EXE replaces the minimal program.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host_process.h"
#include "plugin_tree.h"

namespace {

constexpr DWORD kStartTimeoutMs = 600000;
constexpr DWORD kExitTimeoutMs = 300000;
constexpr DWORD kWindowPollMs = 5;
const wchar_t kLibraryName[] = L"plugin.dll";
// Names the trivial plug-ins receive, so that each one also takes its place
// in the command table.
const std::vector<std::string> kReceivedNames = {"LIBWINDOW_COMMAND_SIZE_CHANGE", "LIBPLATFORM_COMMAND_CLOSE_ENSURE"};

double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::wstring EnvironmentOr(const wchar_t* name, const wchar_t* fallback) {
    wchar_t buffer[4096];
    DWORD n = GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
    return n > 0 && n < ARRAYSIZE(buffer) ? std::wstring(buffer, n) : std::wstring(fallback);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The phases of the host's trace line that begins with title, "Start-up T
// ms: a 1.0 ms; b 2.0 ms (3); ...", with "total" first, each name after
// prefix; empty when the log has no such line.
std::vector<std::pair<std::string, double>> ParseTraceLine(const std::string& log, const std::string& title,
                                                           const std::string& prefix) {
    std::vector<std::pair<std::string, double>> phases;
    const size_t at = log.find("] " + title + " ");
    if (at == std::string::npos) return phases;
    const std::string line = log.substr(at + 2, log.find('\n', at) - at - 2);
    phases.emplace_back(prefix + "total", atof(line.c_str() + title.size() + 1));
    size_t begin = line.find(": ");
    while (begin != std::string::npos) {
        begin += 2;
        const size_t end = line.find("; ", begin);
        const std::string part = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        const size_t ms = part.rfind(" ms");
        const size_t number = part.rfind(' ', ms - 1);
        if (ms != std::string::npos && number != std::string::npos)
            phases.emplace_back(prefix + part.substr(0, number) + part.substr(ms + 3), atof(part.c_str() + number + 1));
        begin = end;
    }
    return phases;
}

// The start-up's phases, the plug-in libraries' that load on a worker beside
// the frame (named "beside the frame: ..."), then the closing's (named
// "closing: ...").
std::vector<std::pair<std::string, double>> ParsePhases(const std::string& log) {
    std::vector<std::pair<std::string, double>> phases = ParseTraceLine(log, "Start-up", "");
    for (auto& phase : ParseTraceLine(log, "Plug-in libraries", "beside the frame: "))
        phases.push_back(std::move(phase));
    for (auto& phase : ParseTraceLine(log, "Closing", "closing: ")) phases.push_back(std::move(phase));
    return phases;
}

struct Run {
    bool ok = false;
    double startMs = 0;
    double closeMs = 0;
    std::string log;
};

// One start of program against pluginsDir, closed again once its window
// shows. Each run logs into a temporary folder of its own.
Run TimeOneRun(const std::wstring& program, const std::wstring& installFrom, const std::wstring& pluginsDir) {
    TempFolder temp;
    HostProcess::Options options;
    options.exePath = program;
    options.installFrom = installFrom;
    options.pluginsFrom = pluginsDir;
    options.tempDir = temp.Path();
    HostProcess process(options);
    process.Install();  // the copies are the harness's cost, not the start's
    Run run;
    const double start = NowMs();
    if (!process.Start()) return run;
    HWND window = process.WaitForMainWindow(kStartTimeoutMs, kWindowPollMs);
    run.startMs = NowMs() - start;
    const double closeStart = NowMs();
    const bool closed = process.RequestClose() && process.WaitForExit(kExitTimeoutMs) == 0;
    run.closeMs = NowMs() - closeStart;
    run.ok = window != nullptr && closed;
    run.log = process.ReadLogs();
    return run;
}

// One program that the benchmark starts: this build's host, optionally an
// earlier build of it, and the minimal program, which is the yardstick.
struct Program {
    std::string name;
    std::wstring exe;
    std::wstring installation;  // its installation folder, copied for each run
};

struct Timing {
    double startMs = 0, closeMs = 0;
    std::vector<std::pair<std::string, double>> phases;  // medians, in the order of the first run's line
};

struct Comparison {
    std::vector<Timing> programs;  // as the programs are listed; the minimal program last
    bool ok = true;
};

// Each round starts every program once, in turn, so that a change of the
// machine's load meanwhile slows all of them alike.
Comparison Compare(const std::vector<Program>& programs, const std::wstring& pluginsDir, int runs) {
    const size_t n = programs.size();
    std::vector<std::vector<double>> starts(n), closes(n);
    std::vector<std::map<std::string, std::vector<double>>> phaseValues(n);
    std::vector<std::vector<std::string>> phaseOrder(n);
    Comparison result;
    for (int i = 0; i < runs; ++i) {
        printf("    run %d:", i + 1);
        for (size_t p = 0; p < n; ++p) {
            const Run run = TimeOneRun(programs[p].exe, programs[p].installation, pluginsDir);
            result.ok = result.ok && run.ok;
            starts[p].push_back(run.startMs);
            closes[p].push_back(run.closeMs);
            for (const auto& [phase, ms] : ParsePhases(run.log)) {
                if (!phaseValues[p].count(phase)) phaseOrder[p].push_back(phase);
                phaseValues[p][phase].push_back(ms);
            }
            printf("%s %s %.0f ms up, %.0f ms to close%s", p ? ";" : "", programs[p].name.c_str(), run.startMs,
                   run.closeMs, run.ok ? "" : " (FAILED)");
        }
        printf("\n");
        fflush(stdout);
    }
    for (size_t p = 0; p < n; ++p) {
        Timing timing{Median(starts[p]), Median(closes[p]), {}};
        for (const std::string& phase : phaseOrder[p]) timing.phases.emplace_back(phase, Median(phaseValues[p][phase]));
        result.programs.push_back(timing);
    }
    return result;
}

void PrintComparison(const char* title, const std::vector<Program>& programs, const Comparison& c, int runs) {
    printf("\n%s (medians of %d alternating runs each)\n", title, runs);
    printf("  %-10s %10s %10s %14s %14s\n", "", "start ms", "close ms", "start ratio", "close ratio");
    const Timing& minimal = c.programs.back();
    for (size_t p = 0; p < programs.size(); ++p) {
        const Timing& t = c.programs[p];
        printf("  %-10s %10.1f %10.1f %14.2f %14.2f\n", programs[p].name.c_str(), t.startMs, t.closeMs,
               t.startMs / minimal.startMs, t.closeMs / minimal.closeMs);
    }
    for (size_t p = 0; p + 1 < programs.size(); ++p) {
        printf("  %s's own trace, start-up to its first paint and closing (median ms per phase; (n) steps):\n",
               programs[p].name.c_str());
        for (const auto& [phase, ms] : c.programs[p].phases) printf("    %-40s %8.1f\n", phase.c_str(), ms);
    }
    fflush(stdout);
}

std::wstring ModuleName(int index) {
    wchar_t name[32];
    swprintf(name, 32, L"Module%04d", index);
    return name;
}

void BuildTrivialTree(const PluginTree& tree, int modules, const std::wstring& pluginDll) {
    for (int i = 0; i < modules; ++i) {
        const std::wstring module = ModuleName(i);
        const std::string id(module.begin(), module.end());
        tree.AddPlugin(module, L"1.0", pluginDll, PluginManifestText(id, "1.0", "plugin.dll", kReceivedNames),
                       kLibraryName);
    }
}

// Plain LoadLibraryExW of the tree's libraries inside this process, for a
// third view of the platform loader's own cost.
double InProcessLoaderMs(const PluginTree& tree, int modules) {
    std::vector<HMODULE> loaded;
    const double start = NowMs();
    for (int i = 0; i < modules; ++i) {
        const std::wstring path = tree.ModuleFolder(ModuleName(i)) + L"1.0\\" + kLibraryName;
        loaded.push_back(
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    }
    const double elapsed = NowMs() - start;
    for (HMODULE library : loaded)
        if (library) FreeLibrary(library);
    return elapsed;
}

struct ScalingRow {
    int modules = 0;
    Comparison comparison;
    double inProcessMs = 0;
};

double PhaseMs(const Timing& timing, const std::string& phase) {
    for (const auto& [name, ms] : timing.phases)
        if (name == phase) return ms;
    return 0;
}

// Per added trivial plug-in: each host's start-up and closing against the
// minimal program's start-up (whose only work per plug-in is LoadLibraryExW
// of the same DLL), then where each host's own trace puts the time.
void PrintScaling(const std::vector<Program>& programs, const std::vector<ScalingRow>& rows) {
    const Comparison& none = rows.front().comparison;
    const size_t minimal = programs.size() - 1;
    const auto perModule = [&](const ScalingRow& row, size_t p, double Timing::*field) {
        return (row.comparison.programs[p].*field - none.programs[p].*field) / row.modules;
    };
    printf("\nCost per added trivial plug-in (medians against no plug-ins; ms per plug-in)\n");
    printf("  %-10s %8s %10s %12s %8s %10s %14s\n", "", "plug-ins", "start ms", "minimal ms", "ratio", "close ms",
           "in-process ms");
    for (size_t p = 0; p < minimal; ++p) {
        for (const ScalingRow& row : rows) {
            if (row.modules == 0) continue;
            const double host = perModule(row, p, &Timing::startMs);
            const double bare = perModule(row, minimal, &Timing::startMs);
            printf("  %-10s %8d %10.2f %12.2f %8.2f %10.2f %14.2f\n", programs[p].name.c_str(), row.modules, host, bare,
                   host / bare, perModule(row, p, &Timing::closeMs), row.inProcessMs / row.modules);
        }
    }
    printf("  (ratio: host / minimal; in-process: LoadLibraryExW of the same DLLs inside the benchmark)\n");
    for (size_t p = 0; p < minimal; ++p) {
        printf("  %s's trace per added plug-in (ms; phases that grow):\n", programs[p].name.c_str());
        for (const auto& [phase, ms] : rows.back().comparison.programs[p].phases) {
            printf("    %-40s", phase.c_str());
            for (const ScalingRow& row : rows) {
                if (row.modules == 0) continue;
                const double grown =
                    (PhaseMs(row.comparison.programs[p], phase) - PhaseMs(none.programs[p], phase)) / row.modules;
                printf(" %5d: %6.3f", row.modules, grown);
            }
            printf("\n");
        }
    }
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Program> programs{{"host", EnvironmentOr(L"LUMAREST_EXE", L"" LUMAREST_BENCH_HOST_EXE),
                                   EnvironmentOr(L"LUMAREST_BENCH_INSTALLATION", L"" LUMAREST_BENCH_INSTALLATION)}};
    const std::wstring earlier = EnvironmentOr(L"LUMAREST_BENCH_EARLIER_EXE", L"");
    if (!earlier.empty())
        programs.push_back({"earlier", earlier, EnvironmentOr(L"LUMAREST_BENCH_EARLIER_INSTALLATION", L"")});
    programs.push_back({"minimal", EnvironmentOr(L"LUMAREST_BENCH_BASELINE_EXE", L"" LUMAREST_BENCH_MINIMAL_EXE),
                        programs.front().installation});
    const std::wstring pluginDll = L"" LUMAREST_BENCH_PLUGIN_DLL;
    int runs = 9;
    bool shippedOnly = false;
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, atoi(argv[++i]));
        else if (strcmp(argv[i], "--shipped-only") == 0) shippedOnly = true;
        else counts.push_back(atoi(argv[i]));
    }
    if (counts.empty()) counts = {4, 50, 200};
    printf("Lumarest start-up and closing:\n");
    for (const Program& program : programs) printf("  %-8s %ls\n", program.name.c_str(), program.exe.c_str());
    fflush(stdout);

    bool ok = true;
    printf("  shipped plug-ins\n");
    const Comparison shipped = Compare(programs, programs.front().installation + L"\\Plugins", runs);
    PrintComparison("Shipped plug-ins", programs, shipped, runs);
    ok = ok && shipped.ok;
    if (shippedOnly) return ok ? 0 : 1;

    std::vector<ScalingRow> rows;
    counts.insert(counts.begin(), 0);
    for (int count : counts) {
        PluginTree tree;
        BuildTrivialTree(tree, count, pluginDll);
        printf("  %d trivial plug-ins\n", count);
        ScalingRow row{count, Compare(programs, tree.Path(), runs), InProcessLoaderMs(tree, count)};
        char title[64];
        snprintf(title, sizeof title, "%d trivial plug-ins", count);
        PrintComparison(title, programs, row.comparison, runs);
        ok = ok && row.comparison.ok;
        rows.push_back(row);
    }
    PrintScaling(programs, rows);
    return ok ? 0 : 1;
}
