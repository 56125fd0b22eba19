// libFuzzer target: the tag reader on arbitrary file contents.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "fuzz/fuzz_files.h"
#include "playback/tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFuzzFile(data, size);
  TrackTags tags;
  ReadTrackTags(kFuzzFile, &tags);
  return 0;
}
