// Stand-in for the programs the launcher starts: records what it was given, then does what
// ORVA_TEST_CHILD_MODE says ("exit:N", "hang"; default exit 0).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (const char* out = std::getenv("ORVA_TEST_CHILD_OUT")) {
        std::FILE* file = std::fopen(out, "wb");
        if (file == nullptr)
            return 101;
        char cwd[4096] = {};
        if (::getcwd(cwd, sizeof cwd) == nullptr)
            return 102;
        std::fwrite(cwd, 1, std::strlen(cwd) + 1, file);
        for (int i = 0; i < argc; ++i)
            std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, file);
        std::fclose(file);
    }
    std::string mode = std::getenv("ORVA_TEST_CHILD_MODE") ? std::getenv("ORVA_TEST_CHILD_MODE") : "";
    if (mode == "hang")
        for (;;)
            ::pause();
    if (mode.rfind("exit:", 0) == 0)
        return std::atoi(mode.c_str() + 5);
    return 0;
}
