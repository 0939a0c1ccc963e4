// Program entry: prepares the settings, then runs the command-line mode.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/program.h"

int main(int argc, char **argv) { return quorv::programMain(argc, argv); }
