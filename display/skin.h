// The long-lived drawing resources: skins, colours, brushes, fonts, icons,
// and the frame around the simulated screen.
#pragma once

#include "app/app_state.h"

// Screen colours by backlight, frame colours by skin (0x00BBGGRR).
constexpr COLORREF kScreenColorLit = 0x00E3DF69;
constexpr COLORREF kScreenColorUnlit = 0x00CADCC6;
constexpr COLORREF kFrameColorNight = 0x001D1716;
constexpr COLORREF kFrameColorClassic = 0x00F7F7F7;
constexpr COLORREF kTransparentColor = 0x00FFFFFF;
constexpr COLORREF kBlack = 0x00000000;

void CreateDrawingResources(HINSTANCE instance);
// Adds the font file beside the program and makes the large and small fonts,
// the large one selected into app.measureDC; false if the file was not added.
bool CreateFonts();
void ReleaseFonts();
// (Re)loads the current shell's control bitmaps, lays the controls out and
// sets both colours and brushes.
void LoadSkin(HINSTANCE instance);
void ReleaseResources();
// Draws the bitmap unscaled at (x, y), its pure white left transparent.
void DrawBitmap(HDC hdc, HBITMAP bitmap, int x, int y, int width, int height);
// The five controls and the screen border, on a context of the main window.
void PaintFrame(HDC hdc);
