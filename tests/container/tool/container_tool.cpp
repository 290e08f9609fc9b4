// Runs the engine once for the format oracle script: container_tool MODE SOURCE TARGET PASSWORD.
// The exit status is the engine's result code.
#include "container/container.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 5 || argv[1][0] == '\0' || argv[1][1] != '\0') {
        std::fprintf(stderr, "usage: container_tool MODE SOURCE TARGET PASSWORD\n");
        return 64;
    }
    return container_crypt_file(argv[2], argv[3], argv[4], argv[1][0]);
}
