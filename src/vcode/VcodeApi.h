#pragma once
// The two entry points of the recognition library libvcode.so.

#ifdef __cplusplus
extern "C" {
#endif

/// Loads a recognition file ("zived.cds"); returns a handle for GetVcodeFromBuffer, or -1 when
/// the file is missing, empty, unreadable, malformed, protected by another password, or names a
/// language whose data is not installed. The same unchanged file and password give the same handle.
__attribute__((visibility("default"))) int LoadCdsFromFile(const char* path, const char* password);

/// Reads the text of the picture in bytes[0..count) and writes it, zero-terminated, into result:
/// at most 32 bytes of code-page text plus the zero. Writes nothing when the handle is unknown,
/// the picture cannot be decoded or nothing was recognised. Returns the number of text bytes
/// written, or -1 on failure (informational). Safe to call from several threads at once.
__attribute__((visibility("default"))) int GetVcodeFromBuffer(int handle, const unsigned char* bytes, int count,
                                                              char* result);

#ifdef __cplusplus
}
#endif
