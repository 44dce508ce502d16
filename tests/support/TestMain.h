#pragma once

namespace testsupport {

// The main of a test program that uses the network: enters the network sandbox before any
// thread exists, installs a headless main thread, then runs GoogleTest. A program that
// needs its own main (a Qt one) calls EnterNetSandbox itself, first.
int RunSandboxedTests(int argc, char** argv);

} // namespace testsupport
