// A libvcode.so that lacks GetVcodeFromBuffer, for the loader's missing-entry-point path.
extern "C" __attribute__((visibility("default"))) int LoadCdsFromFile(const char*, const char*) { return -1; }
