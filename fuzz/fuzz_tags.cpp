// The tag reader on arbitrary file contents: every field ends inside its buffer.
#include <string>

#include "fuzz/fuzz_files.h"
#include "playback/tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile(data, size);
  TrackTags tags;
  ReadTrackTags(kFuzzFile, &tags);
  for (const WCHAR* field : {tags.title, tags.artist, tags.album})
    if (std::char_traits<WCHAR>::find(field, kTextChars, 0) == nullptr) abort();
  return 0;
}
