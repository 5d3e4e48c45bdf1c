// The entry of the client's test programs. Inside a virtual desktop a
// program's status and output do not reach the caller: they go to the files
// the runner names.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (const char* log = std::getenv("UB_LOG_FILE")) {
        std::freopen(log, "w", stdout);
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    if (const char* file = std::getenv("UB_EXIT_FILE")) {
        if (FILE* f = std::fopen(file, "w")) {
            std::fprintf(f, "%d\n", status);
            std::fclose(f);
        }
    }
    return status;
}
