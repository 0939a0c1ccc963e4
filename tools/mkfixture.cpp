// quorv-mkfixture: writes the named Paradox fixture tables.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fixture/fixtures.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: quorv-mkfixture sample PATH\n"
                 "       quorv-mkfixture alltypes PATH\n"
                 "       quorv-mkfixture big N PATH [SEED]\n"
                 "PATH is the .db to write; a .mb of the same base name is written when needed.\n");
    return 2;
}

bool parseCount(const char* s, unsigned long long* out) {
    if (!s || !*s || *s == '-') return false;
    char* end = nullptr;
    *out = std::strtoull(s, &end, 10);
    return *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorv::fixture;
    if (argc < 3) return usage();
    const std::string what = argv[1];
    std::string error;
    bool ok;
    if (what == "sample" && argc == 3) {
        ok = makeSampleTable(argv[2], &error);
    } else if (what == "alltypes" && argc == 3) {
        ok = makeAllTypesTable(argv[2], &error);
    } else if (what == "big" && (argc == 4 || argc == 5)) {
        unsigned long long n = 0, seed = 1;
        if (!parseCount(argv[2], &n) || (argc == 5 && !parseCount(argv[4], &seed))) return usage();
        ok = makeBigTable(argv[3], n, seed, &error);
    } else {
        return usage();
    }
    if (!ok) {
        std::fprintf(stderr, "quorv-mkfixture: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
