// A tiny shared object for the loader tests, exporting one entry the way an
// engine plug-in does.
extern "C" __attribute__((visibility("default"))) int Initialize(int first, int second)
{
    return first * 1000 + second;
}
