// A stand-in for the skin library that applies nothing and writes down every call it receives: one line with
// the skin path and one with the key, appended to the file that KELVO_TEST_SKIN_RECORD names.
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int SkinH_AttachEx(const char *skinPath, const char *key)
{
    const char *record = std::getenv("KELVO_TEST_SKIN_RECORD");
    if (!record)
        return 1;
    std::FILE *file = std::fopen(record, "ab");
    if (!file)
        return 1;
    std::fprintf(file, "%s\n%s\n", skinPath ? skinPath : "<null>", key ? key : "<null>");
    std::fclose(file);
    // Not 0: the caller is to go on whatever the library answers.
    return 1;
}
