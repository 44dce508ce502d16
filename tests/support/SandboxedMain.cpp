#include "tests/support/TestMain.h"

int main(int argc, char** argv) {
    return testsupport::RunSandboxedTests(argc, argv);
}
