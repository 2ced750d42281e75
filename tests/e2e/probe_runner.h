// Runs the tvguide-probe binary and captures its exit code and output.
#pragma once

#include <string>
#include <vector>

#include "json_value.h"

struct ProbeRun {
    int exitCode = -1;
    std::string out, err;
    testjson::Value json() const { return testjson::parse(out); }
};

ProbeRun runProbe(const std::vector<std::string>& args);
