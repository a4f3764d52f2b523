// A stand-in for the skin library that lacks the entry point the program binds: only a near miss is exported.
extern "C" __attribute__((visibility("default"))) int SkinH_Attach(const char *, const char *)
{
    return 0;
}
