#include "probe_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

extern char** environ;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

std::string tempPath(const char* tag) {
    std::string path = std::string("/tmp/tvguide-run-") + tag + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    return path;
}

}  // namespace

ProgramRun runProgram(const std::string& path, const std::vector<std::string>& args,
                      const Environment& environment) {
    const std::string outPath = tempPath("out"), errPath = tempPath("err");
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& [n, v] : environment) replaced = replaced || n == name;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        if (!value.empty()) env.push_back(name + "=" + value);
    std::vector<char*> cenv;
    for (std::string& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&actions);
    ProgramRun run;
    if (rc == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

ProbeRun runProbe(const std::vector<std::string>& args, const Environment& environment) {
    return runProgram(TVGUIDE_PROBE_PATH, args, environment);
}
