// The painters of the simulated screen's panes. Each takes a context of its
// own pane and draws at once, so any handler may call it.
#pragma once

#include "app/app_state.h"

LRESULT PaneWindowProc(HWND pane, UINT msg, WPARAM wParam, LPARAM lParam);
// Fills the rectangle, or the whole pane when rect is null, with the colour.
void FillPaneRect(HWND pane, COLORREF color, const RECT* rect);
void PaintStatusBar(HWND pane, bool clearFirst);
void PaintScrollBar(HWND pane);
void PaintTrackView(HWND pane, bool clearFirst);
void PaintAboutView(HWND pane);
int32_t BatteryPercent();  // 0..100; 100 when unknown
