// Linked into every test program by name, not through the support archive:
// nothing references this symbol, so an archive member holding it would be
// left out of the link.
//
// A Qt application lives until the process ends, so fontconfig's caches are
// never released; they are not leaks of ours.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
