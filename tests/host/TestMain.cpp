// Every test program runs with a temporary folder of its own, so the plug-in's
// cache and undo files never meet a user's, nor another test program's.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "cli/System.h"

#ifdef _WIN32
namespace {

// GoogleTest's printers also hand every failure and skip to OutputDebugString,
// which raises an exception for a debugger to catch. A 32-bit program run by
// user-mode emulation (qemu, on a kernel without 32-bit support) dies on that
// exception, so a skipped test would end the program. This listener forwards
// everything to the printer it wraps but prints those results itself, in the
// same words, to standard output only.
class ResultsToStandardOutput : public ::testing::TestEventListener {
public:
    explicit ResultsToStandardOutput(::testing::TestEventListener* printer) : printer_(printer) {}

    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (result.type() == ::testing::TestPartResult::kSuccess) return;
        std::string where = result.file_name() ? result.file_name() : "unknown file";
        if (result.line_number() >= 0) where += ":" + std::to_string(result.line_number());
        const char* kind = result.skipped() ? "Skipped" : "Failure";
        std::printf("%s: %s\n%s\n", where.c_str(), kind, result.message());
        std::fflush(stdout);
    }

    using UnitTest = ::testing::UnitTest;
    void OnTestProgramStart(const UnitTest& u) override { printer_->OnTestProgramStart(u); }
    void OnTestIterationStart(const UnitTest& u, int i) override { printer_->OnTestIterationStart(u, i); }
    void OnEnvironmentsSetUpStart(const UnitTest& u) override { printer_->OnEnvironmentsSetUpStart(u); }
    void OnEnvironmentsSetUpEnd(const UnitTest& u) override { printer_->OnEnvironmentsSetUpEnd(u); }
    void OnTestSuiteStart(const ::testing::TestSuite& s) override { printer_->OnTestSuiteStart(s); }
    void OnTestCaseStart(const ::testing::TestCase& s) override { printer_->OnTestCaseStart(s); }
    void OnTestStart(const ::testing::TestInfo& t) override { printer_->OnTestStart(t); }
    void OnTestDisabled(const ::testing::TestInfo& t) override { printer_->OnTestDisabled(t); }
    void OnTestEnd(const ::testing::TestInfo& t) override { printer_->OnTestEnd(t); }
    void OnTestSuiteEnd(const ::testing::TestSuite& s) override { printer_->OnTestSuiteEnd(s); }
    void OnTestCaseEnd(const ::testing::TestCase& s) override { printer_->OnTestCaseEnd(s); }
    void OnEnvironmentsTearDownStart(const UnitTest& u) override { printer_->OnEnvironmentsTearDownStart(u); }
    void OnEnvironmentsTearDownEnd(const UnitTest& u) override { printer_->OnEnvironmentsTearDownEnd(u); }
    void OnTestIterationEnd(const UnitTest& u, int i) override { printer_->OnTestIterationEnd(u, i); }
    void OnTestProgramEnd(const UnitTest& u) override { printer_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<::testing::TestEventListener> printer_;
};

void printResultsWithoutDebugger()
{
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    if (::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer()))
        listeners.Append(new ResultsToStandardOutput(printer));
}

}  // namespace
#endif

int main(int argc, char** argv)
{
    std::string folder = makePrivateTempFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "cannot create a private temporary folder\n");
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    printResultsWithoutDebugger();
#endif
    int result = RUN_ALL_TESTS();
    removePrivateTempFolder(folder);
    return result;
}
