// A stand-in player for the media controls: its main window, hidden as after
// "Hide", reports a track and prints each command it gets ("command value",
// one a line), then takes it as a player would and reports again; "shown"
// when it is shown again, "quit" when it is told to quit.
//   tool_mpris FILE   (the track's path under the music root, "/" between names)
#include <cstdio>
#include <string>

#include "platform/display.h"
#include "platform/mpris.h"
#include "platform/window.h"

namespace {

constexpr WPARAM kQuitCommand = 40004;
constexpr DWORD kLengthMs = 30000;

std::u16string file;
MediaReport report;

void Report(HWND window) {
  report.file = file.c_str();
  ReportMedia(window, report);
}

LRESULT Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == kQuitCommand) {
    std::printf("quit\n");
    std::fflush(stdout);
    PostQuitMessage(0);
    return 0;
  }
  if (message == WM_SHOWWINDOW && wParam) {
    std::printf("shown\n");
    std::fflush(stdout);
  }
  if (message != WM_APPCOMMAND) return DefWindowProcW(window, message, wParam, lParam);
  int command = GetAppCommand(lParam);
  std::printf("%d %lu\n", command, static_cast<unsigned long>(wParam));
  std::fflush(stdout);
  switch (command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE:
      report.state = report.state == MediaState::Playing ? MediaState::Paused : MediaState::Playing;
      break;
    case APPCOMMAND_VESK_SET_POSITION:
      report.positionMs = static_cast<DWORD>(wParam);
      break;
    case APPCOMMAND_VESK_SET_VOLUME:
      report.volume = static_cast<int>(wParam);
      break;
    case APPCOMMAND_VESK_SET_SHUFFLE:
      report.shuffle = wParam != 0;
      break;
    case APPCOMMAND_VESK_SET_REPEAT:
      report.repeat = static_cast<int>(wParam);
      break;
  }
  Report(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  for (const char* c = argv[1]; *c; ++c) file += *c == '/' ? u'\\' : char16_t(*c);
  SelectDisplay(DisplayKind::Headless);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = u"Main Window";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, u"Main Window", u"Vesk", 0, 0, 0, 240, 320, nullptr, nullptr,
                                nullptr, nullptr);
  report.state = MediaState::Paused;
  report.title = u"Sunrise \u2014 early";
  report.artist = u"Vesk Demo";
  report.album = u"Morning";
  report.lengthMs = kLengthMs;
  report.positionMs = 5000;
  report.volume = 50;
  report.repeat = 2;
  report.canGoNext = true;
  report.canGoPrevious = true;
  Report(window);
  std::printf("ready\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
