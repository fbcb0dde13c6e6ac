// Invariant checks inside fuzz targets: a broken one aborts, which
// libFuzzer reports as a crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The longest input a target is given unless -max_len says otherwise: what a
// target reads repeats after a few hundred bytes, so longer inputs reach
// nothing new and only make every run slower.
#define FUZZ_DEFAULT_MAX_LEN(bytes)                                   \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {    \
        vestrel::fuzz::DefaultMaxLen(argc, argv, "-max_len=" #bytes); \
        return 0;                                                     \
    }

namespace vestrel::fuzz {

inline void DefaultMaxLen(int* argc, char*** argv, const char* flag) {
    for (int i = 1; i < *argc; ++i) {
        if (std::strncmp((*argv)[i], "-max_len=", 9) == 0)
            return;
    }
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    args.push_back(const_cast<char*>(flag));
    args.push_back(nullptr);
    *argv = args.data();
    *argc += 1;
}

}  // namespace vestrel::fuzz
