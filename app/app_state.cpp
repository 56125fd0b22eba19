#include "app/app_state.h"

#include "platform/instance.h"
#include "platform/strings.h"
#include "platform/window.h"

static AppState InitialState() {
  AppState state{};
  StringCchCopyW(state.headerTitle, kTextChars, kMainWindowTitle);
  return state;
}

AppState app = InitialState();

void ResetAppState() {
  app = InitialState();
}

HWND Pane(int id) {
  return GetDlgItem(app.mainWindow, id);
}
