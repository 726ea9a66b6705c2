#include "cli/Program.h"

int main(int argc, char** argv) {
    return quillora::cli::programMain(argc, argv);
}
