// LumarestCheck: tells a plug-in's author everything that would make the
// host skip the plug-in or suffer from it, one finding per line with its
// severity and a fix.
//
//   LumarestCheck [options] <plug-in folder>          one module folder (Plugins\MyModule)
//   LumarestCheck [options] --all <installation folder>   every module of an installation
//
//   --strict N     report findings of level 1 to N (1: what makes the host
//                  skip the plug-in ... 5: everything); default 5
//   --json         one JSON document on standard output instead of lines
//   --no-run       static checks only; the plug-in is not loaded
//   --limit-ms N   how long each step of the run may take; default 5000
//
// Exit code: 0 when no finding of level 1 to N, 1 when there is one, 2 for
// a wrong command line.
#include <windows.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "FolderListing.h"
#include "Utf8.h"
#include "check/dynamic_check.h"
#include "common/plugin_review.h"
#include "common/plugin_util.h"

namespace {

struct Options {
    std::wstring folder;
    bool all = false;
    bool json = false;
    bool run = true;
    int strict = 5;
    DWORD limitMs = 5000;
};

// A finding with the version folder it belongs to (empty: the module's own).
struct PlacedFinding {
    std::string version;
    Finding finding;
};

struct ModuleReport {
    std::string module;
    std::string folder;
    std::vector<std::string> order;  // versions in the order the host tries them
    std::string chosen;              // the version the host would load; empty: none
    std::vector<PlacedFinding> findings;
    std::vector<StepTime> steps;
    std::vector<HeapGain> heap;
};

std::wstring WithBackslash(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

ModuleReport CheckModule(const std::wstring& folder, const std::wstring& hostFolder, const Options& options) {
    const ModuleReview review = ReviewModuleFolder(folder, hostFolder);
    ModuleReport report;
    report.module = review.module;
    report.folder = ToUtf8(folder);
    for (const Finding& finding : review.findings) report.findings.push_back({"", finding});
    for (const VersionReview& version : review.versions) {
        if (version.hasManifest) report.order.push_back(version.version);
        for (const Finding& finding : version.findings) report.findings.push_back({version.version, finding});
    }
    const VersionReview* chosen = review.Chosen();
    if (!chosen) return report;
    report.chosen = chosen->version;
    if (!options.run) return report;
    DynamicResult run =
        RunDynamicChecks(ProgramPath(), folder + FromUtf8(chosen->version) + L"\\", review.module, options.limitMs);
    for (Finding& finding : run.findings) report.findings.push_back({chosen->version, std::move(finding)});
    report.steps = std::move(run.steps);
    report.heap = std::move(run.heap);
    return report;
}

bool Reported(const Finding& finding, const Options& options) {
    return static_cast<int>(finding.level) <= options.strict;
}

void PrintText(const std::vector<ModuleReport>& reports, const Options& options) {
    for (const ModuleReport& report : reports) {
        std::string order;
        for (const std::string& version : report.order) order += (order.empty() ? "" : ", ") + version;
        std::printf("%s: versions tried in order: %s; loaded: %s\n", report.module.c_str(),
                    order.empty() ? "none" : order.c_str(), report.chosen.empty() ? "none" : report.chosen.c_str());
        for (const PlacedFinding& placed : report.findings) {
            if (!Reported(placed.finding, options)) continue;
            const std::string where = report.module + (placed.version.empty() ? "" : "\\" + placed.version);
            std::printf("%s: %s %d [%s] %s. Fix: %s\n", where.c_str(), LevelName(placed.finding.level),
                        static_cast<int>(placed.finding.level), placed.finding.code.c_str(),
                        placed.finding.message.c_str(), placed.finding.fix.c_str());
        }
        for (const StepTime& step : report.steps)
            std::printf("%s\\%s: step %s took %.1f ms\n", report.module.c_str(), report.chosen.c_str(),
                        step.step.c_str(), step.ms);
        for (const HeapGain& gain : report.heap)
            std::printf("%s\\%s: C heap after %s: %+ld blocks (%+ld bytes)\n", report.module.c_str(),
                        report.chosen.c_str(), gain.pass == "kept" ? "the close" : "the repeated commands", gain.blocks,
                        gain.bytes);
    }
}

void PrintJson(const std::vector<ModuleReport>& reports, const Options& options, int exitCode) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> json(buffer);
    const auto text = [&](const std::string& value) {
        json.String(value.c_str(), static_cast<unsigned>(value.size()));
    };
    json.StartObject();
    json.Key("strict");
    json.Int(options.strict);
    json.Key("exit");
    json.Int(exitCode);
    json.Key("modules");
    json.StartArray();
    for (const ModuleReport& report : reports) {
        json.StartObject();
        json.Key("module");
        text(report.module);
        json.Key("folder");
        text(report.folder);
        json.Key("order");
        json.StartArray();
        for (const std::string& version : report.order) text(version);
        json.EndArray();
        json.Key("chosen");
        text(report.chosen);
        json.Key("findings");
        json.StartArray();
        for (const PlacedFinding& placed : report.findings) {
            if (!Reported(placed.finding, options)) continue;
            json.StartObject();
            json.Key("version");
            text(placed.version);
            json.Key("level");
            json.Int(static_cast<int>(placed.finding.level));
            json.Key("severity");
            json.String(LevelName(placed.finding.level));
            json.Key("code");
            text(placed.finding.code);
            json.Key("message");
            text(placed.finding.message);
            json.Key("fix");
            text(placed.finding.fix);
            json.EndObject();
        }
        json.EndArray();
        json.Key("steps");
        json.StartArray();
        for (const StepTime& step : report.steps) {
            json.StartObject();
            json.Key("step");
            text(step.step);
            json.Key("ms");
            json.Double(step.ms);
            json.EndObject();
        }
        json.EndArray();
        json.Key("heap");
        json.StartObject();
        for (const HeapGain& gain : report.heap) {
            json.Key(gain.pass.c_str());
            json.StartObject();
            json.Key("blocks");
            json.Int64(gain.blocks);
            json.Key("bytes");
            json.Int64(gain.bytes);
            json.EndObject();
        }
        json.EndObject();
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    std::printf("%s\n", buffer.GetString());
}

int Usage() {
    std::fprintf(stderr,
                 "usage: LumarestCheck [--strict N] [--json] [--no-run] [--limit-ms N] <plug-in folder>\n"
                 "       LumarestCheck [options] --all <installation folder>\n");
    return 2;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--json") {
            options.json = true;
        } else if (arg == L"--no-run") {
            options.run = false;
        } else if (arg == L"--all") {
            options.all = true;
        } else if (arg == L"--strict" && i + 1 < argc) {
            options.strict = _wtoi(argv[++i]);
            if (options.strict < 1 || options.strict > 5) return false;
        } else if (arg == L"--limit-ms" && i + 1 < argc) {
            options.limitMs = static_cast<DWORD>(_wtoi(argv[++i]));
            if (options.limitMs == 0) return false;
        } else if (arg.rfind(L"--", 0) == 0 || !options.folder.empty()) {
            return false;
        } else {
            options.folder = arg;
        }
    }
    return !options.folder.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HardenDllSearchPath();
    if (argc == 6 && std::wcscmp(argv[1], kChildSwitch) == 0)
        return RunChild(WithBackslash(argv[2]), argv[3], argv[4], static_cast<DWORD>(_wtoi(argv[5])));
    Options options;
    if (!ParseOptions(argc, argv, options)) return Usage();

    std::vector<ModuleReport> reports;
    if (options.all) {
        const std::wstring installation = WithBackslash(options.folder);
        const std::wstring plugins = installation + L"Plugins\\";
        for (const std::wstring& module : ListSubfolderNames(plugins + L"*"))
            reports.push_back(CheckModule(plugins + module + L"\\", installation, options));
    } else {
        // Installed beside the host, the checker's folder is the host's.
        reports.push_back(CheckModule(WithBackslash(options.folder), FolderOf(ProgramPath()), options));
    }
    int exitCode = 0;
    for (const ModuleReport& report : reports)
        for (const PlacedFinding& placed : report.findings)
            if (Reported(placed.finding, options)) exitCode = 1;
    if (options.json) PrintJson(reports, options, exitCode);
    else PrintText(reports, options);
    return exitCode;
}
