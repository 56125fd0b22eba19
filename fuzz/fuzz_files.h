// The one file that a fuzz input becomes, in a music root of its own.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/base.h"

inline const WCHAR* const kFuzzFile = u"\\input.mp3";

inline void WriteFuzzFile(const uint8_t* data, size_t size) {
  static const std::string root = [] {
    std::string folder = "/tmp/vesk-fuzz-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    setenv("VESK_MUSIC_DIR", folder.c_str(), 1);
    return folder;
  }();
  std::ofstream(root + "/input.mp3", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}
