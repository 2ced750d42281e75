// Runs the programs (tvguide-probe above all) and captures their exit code
// and output.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

struct ProgramRun {
    int exitCode = -1;
    std::string out, err;
    // Throws on malformed JSON, which fails the test.
    nlohmann::json json() const { return nlohmann::json::parse(out); }
};
using ProbeRun = ProgramRun;

// The whole content of a file, empty when it cannot be read.
std::string readAll(const std::string& path);

// `environment` sets (or, with an empty value, removes) variables of this
// process's environment for the program only.
using Environment = std::vector<std::pair<std::string, std::string>>;
ProgramRun runProgram(const std::string& path, const std::vector<std::string>& args,
                      const Environment& environment = {});
ProbeRun runProbe(const std::vector<std::string>& args, const Environment& environment = {});
