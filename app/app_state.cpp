#include "app/app_state.h"

#include "platform/strings.h"

static AppState InitialState() {
  AppState state{};
  StringCchCopyW(state.headerTitle, kTextChars, u"Vesk");
  return state;
}

AppState app = InitialState();

void ResetAppState() {
  app = InitialState();
}
