// Fonts and text: FreeType renders and measures, fontconfig finds faces by
// name. A font's height is its character cell height in pixels. Text is drawn
// anti-aliased in the context's text colour, on an opaque background of the
// context's background colour unless the background mode is TRANSPARENT.
#pragma once

#include "platform/base.h"

constexpr int LF_FACESIZE = 32;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr LONG FW_NORMAL = 400;

struct LOGFONTW {
  LONG lfHeight;  // positive: the cell height in pixels
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};

// DrawTextW flags.
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_NOPREFIX = 0x0800;

// Registers a font file for this process; returns the number of faces added.
int AddFontResourceW(const WCHAR* path);
BOOL RemoveFontResourceW(const WCHAR* path);
// Finds the face by name, or fontconfig's substitute when it is missing.
HFONT CreateFontIndirectW(const LOGFONTW* lf);

// One line of text in the rectangle, aligned by the flags (DT_VCENTER and
// DT_BOTTOM need no DT_SINGLELINE here: every text is one line). Clipped to
// the rectangle unless DT_NOCLIP. Returns the text height; length -1 means
// zero-terminated.
int DrawTextW(HDC hdc, const WCHAR* text, int length, RECT* rc, UINT flags);
// Width and height of the text in the selected font. With fit and dx given,
// also how many characters fit in maxExtent and each one's end position.
BOOL GetTextExtentExPointW(HDC hdc, const WCHAR* text, int length, int maxExtent, int* fit, int* dx,
                           SIZE* size);
// The family name of the font selected into the context (for checks and tests).
int GetTextFaceW(HDC hdc, int size, WCHAR* name);
