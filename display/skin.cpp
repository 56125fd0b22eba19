#include "display/skin.h"

#include <utility>

#include "app/services.h"
#include "input/controls.h"
#include "platform/gdi.h"
#include "platform/strings.h"
#include "platform/text.h"
#include "platform/window.h"

namespace {

constexpr const WCHAR* kFontFile = u"Tolo.ttf";
constexpr const WCHAR* kFontFace = u"Tolo";
constexpr LONG kLargeFontHeight = 15;
constexpr LONG kSmallFontHeight = 12;
constexpr RECT kBorderRect{36, 4, 36 + 168, 4 + 136};

struct SkinNames {
  const WCHAR* wheel;
  const WCHAR* back;
  const WCHAR* forward;
  const WCHAR* playPause;
  const WCHAR* menu;
};
constexpr SkinNames kClassicNames{u"IDB_ROTARY", u"IDB_BACK", u"IDB_FORWARD", u"IDB_PLAYPAUSE",
                                  u"IDB_MENU"};
constexpr SkinNames kNightNames{u"IDB_ROTARYNGT", u"IDB_BACKNGT", u"IDB_FORWARDNGT",
                                u"IDB_PLAYPAUSENGT", u"IDB_MENUNGT"};

// Sizes of the shipped artwork, used for a bitmap that failed to load so the
// controls keep their places.
constexpr ControlSize kShippedWheel{120, 120};
constexpr ControlSize kShippedButton{40, 40};

// The font file's path as start-up added it, so quitting removes the same one.
WCHAR fontPath[kPathChars];

void DeleteBitmap(HBITMAP& bitmap) {
  if (bitmap) DeleteObject(bitmap);
  bitmap = nullptr;
}

ControlSize SizeOf(HBITMAP bitmap, ControlSize fallback) {
  BITMAP info;
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return fallback;
  return ControlSize{info.bmWidth, info.bmHeight};
}

HFONT CreateToloFont(LONG height) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  StringCchCopyW(lf.lfFaceName, LF_FACESIZE, kFontFace);
  return CreateFontIndirectW(&lf);
}

}  // namespace

void DrawBitmap(HDC hdc, HBITMAP bitmap, int x, int y, int width, int height) {
  TransparentImage(hdc, x, y, width, height, bitmap, 0, 0, width, height, kTransparentColor);
}

bool CreateFonts() {
  StringCchCopyW(fontPath, kPathChars, kFontFile);
  MakeProgramPath(fontPath);
  bool added = AddFontResourceW(fontPath) == 1;
  app.largeFont = CreateToloFont(kLargeFontHeight);
  app.smallFont = CreateToloFont(kSmallFontHeight);
  app.previousMeasureFont = SelectObject(app.measureDC, app.largeFont);
  return added;
}

void ReleaseFonts() {
  if (app.previousMeasureFont) SelectObject(app.measureDC, app.previousMeasureFont);
  DeleteObject(app.largeFont);
  DeleteObject(app.smallFont);
  app.largeFont = app.smallFont = nullptr;
  RemoveFontResourceW(fontPath);
  SendMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

void CreateDrawingResources(HINSTANCE instance) {
  app.measureDC = GetDC(app.mainWindow);
  LoadSkin(instance);
  CreateFonts();
  app.batteryBitmap = LoadBitmapW(instance, u"IDB_BATTERY");
  app.volumeDownBitmap = LoadBitmapW(instance, u"IDB_VOLDOWN");
  app.volumeUpBitmap = LoadBitmapW(instance, u"IDB_VOLUP");
  app.pauseIconBitmap = LoadBitmapW(instance, u"IDB_PAUSE");
  app.playIconBitmap = LoadBitmapW(instance, u"IDB_PLAY");
  app.shuffleBitmap = LoadBitmapW(instance, u"IDB_SHUFFLE");
  app.repeatOneBitmap = LoadBitmapW(instance, u"IDB_RPTONE");
  app.repeatAllBitmap = LoadBitmapW(instance, u"IDB_RPTALL");
  app.borderBitmap = LoadBitmapW(instance, u"IDB_BORDER");
}

void LoadSkin(HINSTANCE instance) {
  DeleteBitmap(app.wheelBitmap);
  DeleteBitmap(app.backBitmap);
  DeleteBitmap(app.forwardBitmap);
  DeleteBitmap(app.playPauseBitmap);
  DeleteBitmap(app.menuBitmap);
  const SkinNames& names = app.shell == Shell::Night ? kNightNames : kClassicNames;
  app.wheelBitmap = LoadBitmapW(instance, names.wheel);
  app.backBitmap = LoadBitmapW(instance, names.back);
  app.forwardBitmap = LoadBitmapW(instance, names.forward);
  app.playPauseBitmap = LoadBitmapW(instance, names.playPause);
  app.menuBitmap = LoadBitmapW(instance, names.menu);
  LayoutControls(SizeOf(app.wheelBitmap, kShippedWheel), SizeOf(app.backBitmap, kShippedButton),
                 SizeOf(app.menuBitmap, kShippedButton),
                 SizeOf(app.playPauseBitmap, kShippedButton),
                 SizeOf(app.forwardBitmap, kShippedButton));
  app.screenColor = app.backlight == 1 ? kScreenColorLit : kScreenColorUnlit;
  app.frameColor = app.shell == Shell::Night ? kFrameColorNight : kFrameColorClassic;
  if (app.frameBrush) DeleteObject(app.frameBrush);
  app.frameBrush = CreateSolidBrush(app.frameColor);
  if (app.screenBrush) DeleteObject(app.screenBrush);
  app.screenBrush = CreateSolidBrush(app.screenColor);
}

void ReleaseResources() {
  DeleteBitmap(app.wheelBitmap);
  DeleteBitmap(app.backBitmap);
  DeleteBitmap(app.forwardBitmap);
  DeleteBitmap(app.playPauseBitmap);
  DeleteBitmap(app.menuBitmap);
  DeleteBitmap(app.borderBitmap);
  DeleteBitmap(app.batteryBitmap);
  DeleteBitmap(app.pauseIconBitmap);
  DeleteBitmap(app.playIconBitmap);
  DeleteBitmap(app.volumeDownBitmap);
  DeleteBitmap(app.volumeUpBitmap);
  DeleteBitmap(app.shuffleBitmap);
  DeleteBitmap(app.repeatOneBitmap);
  DeleteBitmap(app.repeatAllBitmap);
  ReleaseFonts();
  DeleteObject(app.screenBrush);
  DeleteObject(app.frameBrush);
  app.screenBrush = app.frameBrush = nullptr;
  delete[] app.playlist;
  app.playlist = nullptr;
  ReleaseDC(app.mainWindow, app.measureDC);
  app.measureDC = nullptr;
}

void PaintFrame(HDC hdc) {
  DrawBitmap(hdc, app.wheelBitmap, app.wheelRect.left, app.wheelRect.top, app.wheelBitmapWidth,
             app.wheelBitmapHeight);
  for (auto [bitmap, rect] :
       {std::pair{app.backBitmap, app.backRect}, std::pair{app.menuBitmap, app.menuRect},
        std::pair{app.playPauseBitmap, app.playPauseRect},
        std::pair{app.forwardBitmap, app.forwardRect}}) {
    DrawBitmap(hdc, bitmap, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  }
  DrawBitmap(hdc, app.borderBitmap, kBorderRect.left, kBorderRect.top,
             kBorderRect.right - kBorderRect.left, kBorderRect.bottom - kBorderRect.top);
}
