#include "shell/program.h"

int main(int argc, char** argv) {
    return kestrune::shell::runKestrune(argc, argv);
}
