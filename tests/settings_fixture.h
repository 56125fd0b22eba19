// A fresh, empty configuration folder for each test: XDG_CONFIG_HOME points
// into a new temporary folder, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "app/app_state.h"
#include "platform/registry.h"

class TempConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "vesk-config-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    if (const char* old = getenv("XDG_CONFIG_HOME")) oldConfig_ = old;
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    ResetAppState();
  }
  void TearDown() override {
    RegFlushKey(HKEY_CURRENT_USER);
    if (oldConfig_) {
      setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_))
      if (entry.is_directory()) chmod(entry.path().c_str(), 0700);
    std::filesystem::remove_all(root_);
    ResetAppState();
  }

  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  // The file as the program leaves it: what it changed is written first, as
  // the message loop does before it waits.
  std::string StoreText() const {
    RegFlushKey(HKEY_CURRENT_USER);
    return ReadText(SettingsFilePath());
  }
  void WriteStore(const std::string& text) const { WriteText(SettingsFilePath(), text); }

  std::string root_;
  std::optional<std::string> oldConfig_;
};

inline constexpr char kSignatureLine[] = "Windows Registry Editor Version 5.00\n\n";
inline constexpr char kVeskSection[] = "[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n";
