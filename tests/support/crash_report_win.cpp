// Linked into every GoogleTest program of the Windows build. Under wine, with
// its debug output off, a test program that faults or aborts dies without a
// word, and a test log then shows a failure with no output at all. This says
// what ended it and in which test, on stderr, before the process goes.
#include <windows.h>

#include <csignal>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

const char* currentTest() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return test ? test->name() : "(no test: start-up or shut-down)";
}

LONG WINAPI reportFault(EXCEPTION_POINTERS* info) {
    std::fflush(stdout);
    std::fprintf(stderr, "crash: exception 0x%08lx at %p in %s\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 info->ExceptionRecord->ExceptionAddress, currentTest());
    std::fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

void reportAbort(int) {
    std::fflush(stdout);
    std::fprintf(stderr, "crash: abort in %s\n", currentTest());
    std::fflush(stderr);
    std::_Exit(3);
}

const bool installed = [] {
    SetUnhandledExceptionFilter(reportFault);
    std::signal(SIGABRT, reportAbort);
    return true;
}();

}  // namespace
