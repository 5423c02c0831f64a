// Sanitizer builds only: shared libraries stay loaded to the end of the process.
//
// The GL driver is loaded with dlopen when a window opens and unloaded when
// the display closes at exit, before LeakSanitizer looks; its leftovers would
// then come from an "<unknown module>" that no suppression can name. With
// dlclose a no-op here, they keep their library's name and the suppressions
// for the system's GL libraries (tests/lsan.supp) match. Linked into the
// editor and the test programs of the sanitizer build, never into a release.
extern "C" int dlclose(void *)
{
    return 0;
}
