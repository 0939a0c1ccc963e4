// Converts a large fixture table with the real quorv binary and prints records per second and the
// peak memory of each run.
//
//   convert_bench [records] [folder] [outputs...]     (defaults: 1000000 /tmp csv)
//
// An output is an extension, optionally followed by ':' and one switch: sql:/POSTGRESQL.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "fixture/fixtures.h"

namespace {

struct Run {
    double seconds = 0;
    long peakKb = 0;
    int status = -1;
};

Run runQuorv(const std::vector<std::string> &args) {
    Run run;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        std::string binary = QUORV_BINARY;
        argv.push_back(binary.data());
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace

int main(int argc, char **argv) {
    int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    std::string folder = argc > 2 ? argv[2] : "/tmp";
    std::vector<std::string> extensions;
    for (int i = 3; i < argc; ++i)
        extensions.emplace_back(argv[i]);
    if (extensions.empty())
        extensions.emplace_back("csv");

    std::string table = folder + "/bench_" + std::to_string(records) + ".db";
    std::string error;
    auto start = std::chrono::steady_clock::now();
    if (!quorv::fixture::makeBigTable(table, records, 42, &error)) {
        std::fprintf(stderr, "cannot make %s: %s\n", table.c_str(), error.c_str());
        return 1;
    }
    std::printf("table: %s, %d records (made in %.1f s)\n", table.c_str(), records,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    for (const std::string &output : extensions) {
        // "sql:/MYSQL": the extension, then a switch for the run.
        const std::string ext = output.substr(0, output.find(':'));
        const std::string option = output.find(':') == std::string::npos ? "" : output.substr(output.find(':') + 1);
        std::string out = folder + "/bench_out." + ext;
        for (bool sorted : {false, true}) {
            if (sorted && ext != "csv")
                continue;
            std::vector<std::string> args = {table, out};
            if (!option.empty())
                args.push_back(option);
            if (sorted)
                args.emplace_back("/SORTBY:Name");
            Run run = runQuorv(args);
            std::printf("%-16s %-9s %8.2f s  %10.0f records/s  peak %7.1f MB  exit %d\n", output.c_str(),
                        sorted ? "sorted" : "unsorted", run.seconds, records / run.seconds, run.peakKb / 1024.0,
                        run.status);
        }
        std::remove(out.c_str());
    }
    return 0;
}
