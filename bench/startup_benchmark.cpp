// Start-up cost of the plug-ins: the real Lumarest.exe started against
// plug-in trees of 10, 100 and 1,000 module folders, timed from the process's
// creation until its main window is visible (the plug-ins are loaded while
// that window is created), against a run with an empty plug-ins folder.
//
// Every module has three version folders. Good modules hold a copy of a
// minimal plug-in in each. A tenth of the modules have their two highest
// versions broken in the ways that the loader refuses (a manifest that does
// not parse, a "path" that climbs out of the version folder, a text file
// named .dll, a DLL without "RegisterModule"), so the loader falls back to
// their lowest version. Each size runs up to three times and keeps the best;
// a size whose first run is slow runs fewer times so the whole stays bounded.
// Beside each size it times plain LoadLibraryExW of the same libraries in
// this process, to tell the host's own cost from the platform loader's.
//
// Usage: startup_benchmark.exe [module counts...]   (default: 10 100 1000)
// The host's error lines about the refused versions reach standard error;
// the figures go to standard output.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_process.h"
#include "plugin_tree.h"

namespace {

constexpr int kVersionsPerModule = 3;
constexpr int kBrokenEvery = 10;  // every tenth module is broken
constexpr int kMostRuns = 3;
constexpr double kRunBudgetMs = 90000;  // more runs of a size only while they fit in this
constexpr DWORD kStartTimeoutMs = 900000;
constexpr DWORD kExitTimeoutMs = 300000;
constexpr DWORD kWindowPollMs = 20;  // fine enough against a start of a second, light on the CPU the host needs
const wchar_t kLibraryName[] = L"plugin.dll";
// Names the good modules receive, so that each one also takes its place in
// the command table.
const std::vector<std::string> kReceivedNames = {"LIBWINDOW_COMMAND_SIZE_CHANGE", "LIBPLATFORM_COMMAND_CLOSE_ENSURE"};

enum class Breakage { UnparsableManifest, PathClimbsOut, TextFileAsLibrary, NoEntryPoint, Count };

struct Libraries {
    std::wstring plugin;   // the minimal plug-in
    std::wstring noEntry;  // a DLL without "RegisterModule"
};

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

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

std::wstring ModuleName(int index) {
    wchar_t name[32];
    swprintf(name, 32, L"Module%04d", index);
    return name;
}

void AddGoodVersion(const PluginTree& tree, const std::wstring& module, const std::wstring& version,
                    const Libraries& libraries) {
    tree.AddPlugin(module, version, libraries.plugin,
                   PluginManifestText(Narrow(module), Narrow(version), Narrow(kLibraryName), kReceivedNames),
                   kLibraryName);
}

void AddBrokenVersion(const PluginTree& tree, const std::wstring& module, const std::wstring& version,
                      Breakage breakage, const Libraries& libraries) {
    const std::string id = Narrow(module), text = Narrow(version);
    switch (breakage) {
    case Breakage::UnparsableManifest:
        tree.AddPlugin(module, version, libraries.plugin, "{\"id\": \"" + id + "\", \"version\": ", kLibraryName);
        break;
    case Breakage::PathClimbsOut:
        // It names the good library of version 1.0, which loads only if the
        // loader lets the path out of its version folder.
        tree.AddPlugin(module, version, libraries.plugin, PluginManifestText(id, text, "../1.0/plugin.dll"),
                       kLibraryName);
        break;
    case Breakage::TextFileAsLibrary:
        tree.AddVersion(module, version, PluginManifestText(id, text, Narrow(kLibraryName)));
        tree.Write(module + L"\\" + version + L"\\" + kLibraryName, "This is a text file, not a library.\r\n");
        break;
    default:
        tree.AddPlugin(module, version, libraries.noEntry, PluginManifestText(id, text, Narrow(kLibraryName)),
                       kLibraryName);
        break;
    }
}

bool IsBroken(int module) { return module % kBrokenEvery == kBrokenEvery - 1; }

std::wstring VersionName(int version) { return std::to_wstring(version) + L".0"; }

// The version that the loader ends up loading: the highest, or in a broken
// module the lowest, after its two broken ones.
std::wstring LoadedVersion(int module) { return VersionName(IsBroken(module) ? 1 : kVersionsPerModule); }

// Module folders 0 to modules-1 with versions 1.0 to 3.0. In a broken
// module the two highest versions are broken, each in another way, and 1.0
// is good; the kinds of breakage rotate over the broken modules.
void BuildTree(const PluginTree& tree, int modules, const Libraries& libraries) {
    const int kinds = static_cast<int>(Breakage::Count);
    for (int i = 0; i < modules; ++i) {
        const std::wstring module = ModuleName(i);
        for (int v = 1; v <= kVersionsPerModule; ++v) {
            if (IsBroken(i) && v > 1) {
                AddBrokenVersion(tree, module, VersionName(v), static_cast<Breakage>((i / kBrokenEvery + v) % kinds),
                                 libraries);
            } else {
                AddGoodVersion(tree, module, VersionName(v), libraries);
            }
        }
    }
}

// Plain LoadLibraryExW, with the host's flags, of the libraries that the
// host loads from the tree, in this process: what the platform's loader
// alone costs. They are released again so that the tree can be removed.
double LoaderFloorMs(const PluginTree& tree, int modules) {
    std::vector<HMODULE> loaded;
    const double start = NowMs();
    for (int i = 0; i < modules; ++i) {
        const std::wstring path = tree.ModuleFolder(ModuleName(i)) + LoadedVersion(i) + L"\\" + kLibraryName;
        loaded.push_back(
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS));
    }
    const double elapsed = NowMs() - start;
    for (HMODULE library : loaded)
        if (library) FreeLibrary(library);
    return elapsed;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

struct Run {
    bool ok = false;
    double ms = 0;      // process creation until the main window is visible
    size_t loaded = 0;  // modules that the host's log reports as loaded
};

// One start of the host against pluginsDir, closed again once its window
// shows. Each run logs into a temporary folder of its own.
Run TimeOneStart(const std::wstring& exePath, const std::wstring& pluginsDir) {
    TempFolder temp;
    HostProcess::Options options;
    options.exePath = exePath;
    options.pluginsFrom = pluginsDir;
    options.tempDir = temp.Path();
    HostProcess host(options);
    host.Install();  // the copies are the harness's cost, not the start's
    Run run;
    const double start = NowMs();
    if (!host.Start()) return run;
    HWND window = host.WaitForMainWindow(kStartTimeoutMs, kWindowPollMs);
    run.ms = NowMs() - start;
    const bool closed = host.RequestClose() && host.WaitForExit(kExitTimeoutMs) == 0;
    run.ok = window != nullptr && closed;
    run.loaded = Occurrences(host.ReadLogs(), " loaded from ");
    return run;
}

struct SizeResult {
    int modules = 0;
    int runs = 0;
    double bestMs = 0;
    double worstMs = 0;
    double floorMs = 0;
    size_t loaded = 0;
    bool ok = true;
};

// The best of up to kMostRuns starts; the first run decides how many fit in
// the budget.
SizeResult MeasureSize(const std::wstring& exePath, int modules, const Libraries& libraries) {
    PluginTree tree;
    const double buildStart = NowMs();
    BuildTree(tree, modules, libraries);
    printf("  %d modules: tree built in %.0f ms\n", modules, NowMs() - buildStart);
    fflush(stdout);

    SizeResult result;
    result.modules = modules;
    int planned = kMostRuns;
    for (int i = 0; i < planned; ++i) {
        Run run = TimeOneStart(exePath, tree.Path());
        printf("  %d modules: run %d %s in %.0f ms, %u modules loaded\n", modules, i + 1,
               run.ok ? "showed its window" : "FAILED", run.ms, static_cast<unsigned>(run.loaded));
        fflush(stdout);
        result.ok = result.ok && run.ok;
        result.bestMs = result.runs == 0 ? run.ms : std::min(result.bestMs, run.ms);
        result.worstMs = std::max(result.worstMs, run.ms);
        result.loaded = run.loaded;
        ++result.runs;
        if (i == 0) planned = std::clamp(static_cast<int>(kRunBudgetMs / std::max(run.ms, 1.0)), 1, kMostRuns);
    }
    result.floorMs = LoaderFloorMs(tree, modules);
    return result;
}

double PerModuleMs(const SizeResult& size, const SizeResult& baseline) {
    return (size.bestMs - baseline.bestMs) / size.modules;
}

// A size costs measurably more than the baseline when the difference is
// above the spread of the baseline's own runs.
bool AboveNoise(const SizeResult& size, const SizeResult& baseline) {
    return size.bestMs - baseline.bestMs > baseline.worstMs - baseline.bestMs;
}

void PrintTable(const SizeResult& baseline, const std::vector<SizeResult>& sizes) {
    printf("\n%8s %5s %9s %14s %14s %10s %7s\n", "modules", "runs", "total ms", "above base ms", "per module ms",
           "loader ms", "loaded");
    printf("%8d %5d %9.0f %14s %14s %10s %7u\n", 0, baseline.runs, baseline.bestMs, "-", "-", "-",
           static_cast<unsigned>(baseline.loaded));
    for (const SizeResult& size : sizes) {
        printf("%8d %5d %9.0f %14.0f %14.2f %10.0f %7u%s%s\n", size.modules, size.runs, size.bestMs,
               size.bestMs - baseline.bestMs, PerModuleMs(size, baseline), size.floorMs,
               static_cast<unsigned>(size.loaded), AboveNoise(size, baseline) ? "" : "  (within noise)",
               size.loaded == static_cast<size_t>(size.modules) ? "" : "  (expected every module loaded)");
    }
    printf("baseline runs spread over %.0f ms; loader ms: the same libraries loaded by LoadLibraryExW alone\n",
           baseline.worstMs - baseline.bestMs);
}

// Whether the cost per module grows with the number of modules: the ratio of
// the per-module cost at the largest size to that at the smallest, then each
// size against the one before it.
void PrintGrowth(const SizeResult& baseline, const std::vector<SizeResult>& sizes) {
    if (sizes.size() < 2) return;
    const SizeResult& small = sizes.front();
    const SizeResult& large = sizes.back();
    const double ratio = PerModuleMs(large, baseline) / PerModuleMs(small, baseline);
    printf("\nper-module cost at %d vs %d modules: ratio %.2f%s\n", large.modules, small.modules, ratio,
           AboveNoise(small, baseline) ? "" : " (the smaller size is within noise)");
    for (size_t i = 1; i < sizes.size(); ++i) {
        printf("per-module cost at %d vs %d modules: ratio %.2f; loader alone: ratio %.2f\n", sizes[i].modules,
               sizes[i - 1].modules, PerModuleMs(sizes[i], baseline) / PerModuleMs(sizes[i - 1], baseline),
               (sizes[i].floorMs / sizes[i].modules) / (sizes[i - 1].floorMs / sizes[i - 1].modules));
    }
    // The verdict compares the largest size with the smallest one that is
    // measurably above the baseline.
    for (const SizeResult& size : sizes) {
        if (&size == &large || !AboveNoise(size, baseline)) continue;
        const double measured = PerModuleMs(large, baseline) / PerModuleMs(size, baseline);
        printf("verdict (%d vs %d modules, ratio %.2f): the per-module cost %s\n", large.modules, size.modules,
               measured,
               measured > 1.5    ? "grows with the number of modules"
               : measured < 0.67 ? "falls (fixed costs spread over more modules)"
                                 : "stays about the same (total cost linear)");
        return;
    }
    printf("verdict: no smaller size is measurably above the baseline\n");
}

}  // namespace

int main(int argc, char** argv) {
    const std::wstring exePath = EnvironmentOr(L"LUMAREST_EXE", L"" LUMAREST_BENCH_HOST_EXE);
    const Libraries libraries{L"" LUMAREST_BENCH_PLUGIN_DLL, L"" LUMAREST_BENCH_NO_ENTRY_DLL};
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(atoi(argv[i]));
    if (counts.empty()) counts = {10, 100, 1000};
    printf("Lumarest start-up with plug-ins: %ls\n", exePath.c_str());
    fflush(stdout);

    const SizeResult baseline = MeasureSize(exePath, 0, libraries);
    std::vector<SizeResult> sizes;
    for (int count : counts) sizes.push_back(MeasureSize(exePath, count, libraries));
    PrintTable(baseline, sizes);
    PrintGrowth(baseline, sizes);

    bool ok = baseline.ok;
    for (const SizeResult& size : sizes) ok = ok && size.ok;
    return ok ? 0 : 1;
}
