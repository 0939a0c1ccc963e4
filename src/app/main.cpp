// Program entry: prepares the settings, then runs the command-line mode.
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/program.h"

int main(int argc, char **argv) {
    // A file-size limit (ulimit -f) then fails the write with EFBIG, which the export reports and
    // cleans up after, instead of killing the program in the middle of a file.
    std::signal(SIGXFSZ, SIG_IGN);
    return quorv::programMain(argc, argv);
}
