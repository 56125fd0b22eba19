#include "display/play_view.h"

#include "display/painters.h"

// Until the play view's layouts exist it only clears.
void PaintPlayView(HWND pane, bool clearFirst) {
  if (clearFirst) FillPaneRect(pane, app.screenColor, nullptr);
}
