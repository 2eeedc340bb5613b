// Stand-ins for broken engine plug-ins, for the loader tests: one whose
// Initialize makes no engine, one without Initialize at all.
class CTorrentEngine;

#ifdef STUB_EXPORTS_INITIALIZE
extern "C" __attribute__((visibility("default"))) CTorrentEngine* Initialize(int, int)
{
    return nullptr;
}
#else
extern "C" __attribute__((visibility("default"))) int NotTheEngine()
{
    return 0;
}
#endif
