// A fresh, empty configuration folder (XDG_CONFIG_HOME) for each test.
#pragma once

#include "app/app_state.h"
#include "platform/registry.h"
#include "tests/headless.h"

inline constexpr char kSignatureLine[] = "Windows Registry Editor Version 5.00\n\n";
inline constexpr char kVeskSection[] = "[HKEY_CURRENT_USER\\Software\\Mireva\\Vesk]\n";

class TempConfig : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeTempFolder("vesk-config");
    setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
    ResetAppState();
  }
  void TearDown() override {
    RegFlushKey(HKEY_CURRENT_USER);
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(root_);
    ResetAppState();
  }

  // The file after the pending changes are written, as the message loop does.
  std::string StoreText() const {
    RegFlushKey(HKEY_CURRENT_USER);
    return ReadBytes(SettingsFilePath());
  }
  void WriteStore(const std::string& text) const { WriteText(SettingsFilePath(), text); }
  void WriteValues(const std::string& values) const {
    WriteStore(std::string(kSignatureLine) + kVeskSection + values);
  }

  std::string root_;
};
