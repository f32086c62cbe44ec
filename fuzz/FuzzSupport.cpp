#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

const char* fuzzSpeedFile()
{
    return "VEL_MAX=130\nVEL_MAX_CURVE=90\nVEL_MAX_SPIN=110\nANGLE_SPIN=0.5\n"
           "BIG_ANGLE=1.2\nANGLE_VEL_MAX=0.3\nLENGTH_NEAR=70\n";
}

void fuzzQuietScratchDir()
{
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    char dir[] = "/tmp/soccer-fuzz-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        std::abort();
    }
    std::ofstream("velocidade.ini") << fuzzSpeedFile();
}
