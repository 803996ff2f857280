// The host's own start-up, measured by phase with QueryPerformanceCounter.
// When the first paint is done the host logs one line with the phases (steps
// of the same phase, such as each plug-in's load, summed); asked to, it also
// logs every step on its own. Its closing is measured the same way, from the
// close request until the log shuts.
#pragma once

#include <string>
#include <vector>

class StartupTrace {
public:
    // The clock starts here: the first Mark measures from now. title begins
    // the summary.
    explicit StartupTrace(std::string title = "Start-up");

    // Ends the step that began at the previous mark (or at the start) and
    // records it under phase; detail tells steps of one phase apart (the
    // plug-in's folder name).
    void Mark(const std::string& phase, const std::string& detail = {});
    // Records a step measured elsewhere (the time before the entry point).
    void Record(const std::string& phase, double ms, const std::string& detail = {});

    // "Start-up 123.4 ms: single instance 0.3 ms; plug-in load 18.0 ms (4); ..."
    // in the order in which each phase first came. Phases carry no ";".
    std::string Summary() const;
    // One line per step: time since the start, the step's own time, phase, detail.
    std::vector<std::string> Steps() const;

private:
    struct Step {
        std::string phase;
        std::string detail;
        double ms;
    };
    std::string title_;
    std::vector<Step> steps_;
    long long lastTicks_ = 0;
};

// Milliseconds from the process's creation to now, as the system counts its
// creation time; 0 when it cannot tell.
double MsSinceProcessCreation();
