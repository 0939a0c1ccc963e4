// Program entry: without arguments (or with --wizard) the wizard, else the command-line mode.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/program.h"
#include "wizard/wizard_main.h"

int main(int argc, char **argv) {
    // A file-size limit (ulimit -f) then fails the write with EFBIG, which the export reports and
    // cleans up after, instead of killing the program in the middle of a file.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc == 1)
        return quorv::wizard::wizardMain(argv[0], "");
    if (std::strcmp(argv[1], "--wizard") == 0) {
        if (argc > 3) {
            std::fputs("quorv: --wizard takes at most one table: quorv --wizard [TABLE.db]\n"
                       "Try 'quorv --help' for more information.\n",
                       stderr);
            return 2;
        }
        return quorv::wizard::wizardMain(argv[0], argc == 3 ? argv[2] : "");
    }
    return quorv::programMain(argc, argv);
}
