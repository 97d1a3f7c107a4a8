#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

// The test program's entry. With VANTORA_TEST_LIST set to a file name, the
// full name of every test, run or filtered out, goes into that file first,
// so that a run restricted by a filter can say what it left out.
int main(int argc, char** argv) {
    // As gtest's own main does: the test runner takes this line as the sign
    // that the program ran.
    std::printf("Running main() from %s\n", __FILE__);
    testing::InitGoogleTest(&argc, argv);
    if (const char* listPath = std::getenv("VANTORA_TEST_LIST")) {
        FILE* list = std::fopen(listPath, "w");
        if (list == nullptr) {
            std::fprintf(stderr, "cannot write the test list %s\n", listPath);
            return 2;
        }
        const testing::UnitTest& tests = *testing::UnitTest::GetInstance();
        for (int s = 0; s < tests.total_test_suite_count(); ++s) {
            const testing::TestSuite& suite = *tests.GetTestSuite(s);
            for (int t = 0; t < suite.total_test_count(); ++t) {
                std::fprintf(list, "%s.%s\n", suite.name(), suite.GetTestInfo(t)->name());
            }
        }
        std::fclose(list);
    }
    return RUN_ALL_TESTS();
}
