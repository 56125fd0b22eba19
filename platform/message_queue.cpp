// The message queue of the user-interface thread: posted messages (from any
// thread), input from the display, painting and timers, in that priority.
#include <algorithm>

#include "platform/audio_output.h"
#include "platform/context.h"
#include "platform/device.h"
#include "platform/gdi.h"
#include "platform/registry.h"
#include "platform/test_hooks.h"
#include "platform/window_table.h"

namespace plat {
namespace {

constexpr WPARAM MK_LBUTTON = 0x0001;

// Whether tick a has been reached at tick b, across a wrap of the counter.
bool Reached(DWORD due, DWORD now) {
  return static_cast<int32_t>(now - due) >= 0;
}

bool Matches(const MSG& m, HWND hwnd, UINT low, UINT high) {
  if (m.message == WM_QUIT) return hwnd == nullptr;
  if (hwnd && m.hwnd != hwnd) return false;
  return (low == 0 && high == 0) || (m.message >= low && m.message <= high);
}

bool InRange(UINT message, UINT low, UINT high) {
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

// Turns an event of the display into a message for the window that gets it.
void QueueInput(const InputEvent& event) {
  MessageQueue& q = Ctx().queue;
  HWND top = TopLevelWindow();
  if (!top) return;
  MSG msg{};
  msg.time = GetTickCount();
  msg.pt = POINT{event.x, event.y};
  switch (event.kind) {
    case InputEvent::Expose:
      MarkDirty(RECT{0, 0, kScreenWidth, kScreenHeight});
      return;
    case InputEvent::Close:
      msg.hwnd = top;
      msg.message = WM_SYSCOMMAND;
      msg.wParam = SC_CLOSE;
      break;
    case InputEvent::Key:
    case InputEvent::Char: {
      HWND focus = GetFocus();
      msg.hwnd = (focus && IsWindowVisible(focus)) ? focus : top;
      msg.message = event.kind == InputEvent::Key ? WM_KEYDOWN : WM_CHAR;
      msg.wParam = event.key;
      msg.lParam = 1;
      break;
    }
    case InputEvent::Wheel:
      // The scroll wheel turns the click wheel, which is the main window's.
      if (!IsWindowVisible(top)) return;
      msg.hwnd = top;
      msg.message = WM_MOUSEWHEEL;
      msg.wParam = MAKEWPARAM(0, static_cast<WORD>(static_cast<int16_t>(event.delta)));
      msg.lParam = MAKELPARAM(static_cast<WORD>(event.x), static_cast<WORD>(event.y));
      break;
    case InputEvent::Stylus: {
      // A stylus only moves while it touches the screen.
      if (event.message == WM_MOUSEMOVE && !q.penDown) return;
      if (event.message == WM_LBUTTONUP && !q.penDown) return;
      int x = std::clamp(event.x, 0, kScreenWidth - 1);
      int y = std::clamp(event.y, 0, kScreenHeight - 1);
      if (event.message == WM_LBUTTONDOWN) {
        if (!IsWindowVisible(top)) return;
        int slot = TheScreen().owner[y * kScreenWidth + x];
        q.penDown = true;
        // As on a touch screen, the window under the pen down gets the
        // moves and the pen up until the pen is lifted.
        q.capture = slot ? Windows()[slot]->handle : top;
      }
      if (event.message == WM_LBUTTONUP) q.penDown = false;
      if (!IsWindow(q.capture)) return;
      msg.hwnd = q.capture;
      RECT client;
      ClientRectOnScreen(msg.hwnd, &client);
      msg.message = event.message;
      msg.wParam = event.message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
      msg.lParam =
          MAKELPARAM(static_cast<WORD>(x - client.left), static_cast<WORD>(y - client.top));
      // Only the newest position of a drag matters, as on the device.
      if (msg.message == WM_MOUSEMOVE && !q.input.empty() &&
          q.input.back().message == WM_MOUSEMOVE && q.input.back().hwnd == msg.hwnd) {
        q.input.back() = msg;
        return;
      }
      break;
    }
  }
  q.input.push_back(msg);
}

void PumpDisplay() {
  InputEvent event;
  while (Backend().WaitInput(&event, 0)) QueueInput(event);
}

void RunTasks() {
  MessageQueue& q = Ctx().queue;
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard lock(q.postedMutex);
      if (q.tasks.empty()) return;
      task = std::move(q.tasks.front());
      q.tasks.pop_front();
    }
    task();
  }
}

bool TakePosted(MSG* msg, HWND hwnd, UINT low, UINT high, bool remove) {
  MessageQueue& q = Ctx().queue;
  std::lock_guard lock(q.postedMutex);
  auto it = std::find_if(q.posted.begin(), q.posted.end(),
                         [&](const MSG& m) { return Matches(m, hwnd, low, high); });
  if (it == q.posted.end()) return false;
  *msg = *it;
  if (remove) q.posted.erase(it);
  return true;
}

bool TakeInput(MSG* msg, HWND hwnd, UINT low, UINT high, bool remove) {
  MessageQueue& q = Ctx().queue;
  auto it = std::find_if(q.input.begin(), q.input.end(),
                         [&](const MSG& m) { return Matches(m, hwnd, low, high); });
  if (it == q.input.end()) return false;
  *msg = *it;
  if (remove) q.input.erase(it);
  return true;
}

// Parents before children, so that a child's paint is never undone.
bool FindPaint(MSG* msg, HWND hwnd) {
  for (auto& w : Windows()) {
    if (!w || !w->alive || IsRectEmpty(&w->invalid) || !IsShown(*w)) continue;
    if (hwnd && w->handle != hwnd) continue;
    *msg = MSG{w->handle, WM_PAINT, 0, 0, GetTickCount(), {}};
    return true;
  }
  return false;
}

bool TakeTimer(MSG* msg, HWND hwnd, bool remove) {
  MessageQueue& q = Ctx().queue;
  DWORD now = GetTickCount();
  Timer* next = nullptr;
  for (Timer& t : q.timers) {
    if (hwnd && t.hwnd != hwnd) continue;
    if (Reached(t.due, now) && (!next || static_cast<int32_t>(t.due - next->due) < 0)) next = &t;
  }
  if (!next) return false;
  *msg = MSG{next->hwnd, WM_TIMER, next->id, 0, now, {}};
  if (remove) {
    next->due += next->period;
    if (Reached(next->due, now)) next->due = now + next->period;  // fell behind: no bursts
  }
  return true;
}

// Milliseconds until the next timer is due; -1 when there is none.
int TimeToNextTimer() {
  MessageQueue& q = Ctx().queue;
  if (q.timers.empty()) return -1;
  DWORD now = GetTickCount();
  int32_t best = INT32_MAX;
  for (const Timer& t : q.timers) best = std::min(best, static_cast<int32_t>(t.due - now));
  return std::max(best, 0);
}

bool Fetch(MSG* msg, HWND hwnd, UINT low, UINT high, bool remove) {
  PumpDisplay();
  if (TakePosted(msg, hwnd, low, high, remove)) return true;
  if (TakeInput(msg, hwnd, low, high, remove)) return true;
  if (InRange(WM_PAINT, low, high) && FindPaint(msg, hwnd)) return true;
  return InRange(WM_TIMER, low, high) && TakeTimer(msg, hwnd, remove);
}

}  // namespace

void RunOnUiThread(std::function<void()> task) {
  MessageQueue& q = Ctx().queue;
  {
    std::lock_guard lock(q.postedMutex);
    q.tasks.push_back(std::move(task));
  }
  Backend().Wake();
}

void ForgetWindowMessages(HWND hwnd) {
  MessageQueue& q = Ctx().queue;
  std::erase_if(q.timers, [&](const Timer& t) { return t.hwnd == hwnd; });
  std::erase_if(q.input, [&](const MSG& m) { return m.hwnd == hwnd; });
  std::lock_guard lock(q.postedMutex);
  std::erase_if(q.posted, [&](const MSG& m) { return m.hwnd == hwnd && m.message != WM_QUIT; });
}

void ResetMessagesForTests() {
  MessageQueue& q = Ctx().queue;
  {
    std::lock_guard lock(q.postedMutex);
    q.posted.clear();
    q.tasks.clear();
  }
  q.input.clear();
  q.timers.clear();
  q.penDown = false;
  q.capture = nullptr;
}

}  // namespace plat

using namespace plat;

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IsRemoteWindow(hwnd)) return RemotePostMessage(hwnd, msg, wParam, lParam);
  if (hwnd == HWND_BROADCAST) {
    std::vector<HWND> tops;
    for (auto& w : Windows()) {
      if (w && w->alive && !w->parent) tops.push_back(w->handle);
    }
    for (HWND top : tops) SendMessageW(top, msg, wParam, lParam);
    return 0;
  }
  Window* w = Find(hwnd);
  return w ? w->proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  MessageQueue& q = Ctx().queue;
  if (IsRemoteWindow(hwnd)) return RemotePostMessage(hwnd, msg, wParam, lParam);
  {
    std::lock_guard lock(q.postedMutex);
    q.posted.push_back(MSG{hwnd, msg, wParam, lParam, 0, {}});
  }
  Backend().Wake();
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  MessageQueue& q = Ctx().queue;
  std::lock_guard lock(q.postedMutex);
  q.posted.push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0, 0, {}});
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT low, UINT high) {
  if (!msg) return -1;
  for (;;) {
    // Whatever the last message drew is shown before the next one is handled.
    PresentIfDirty();
    RunTasks();
    if (Fetch(msg, hwnd, low, high, true)) return msg->message == WM_QUIT ? 0 : 1;
    CloseIdleAudioOutput();
    ReturnFreedMemory();
    RegFlushKey(HKEY_CURRENT_USER);  // the settings a burst of messages changed, as one write
    InputEvent event;
    if (Backend().WaitInput(&event, TimeToNextTimer())) QueueInput(event);
  }
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT low, UINT high, UINT removeFlags) {
  if (!msg) return FALSE;
  // Tasks from other threads run here too, as sent messages would.
  if (removeFlags & PM_REMOVE) RunTasks();
  return Fetch(msg, hwnd, low, high, (removeFlags & PM_REMOVE) != 0);
}

BOOL TranslateMessage(const MSG*) {
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  Window* w = Find(msg->hwnd);
  if (!w) return 0;  // thread messages and messages to destroyed windows
  LRESULT result = w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  // A window that does not paint when asked would be asked forever.
  if (msg->message == WM_PAINT) ValidateRect(msg->hwnd, nullptr);
  return result;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      if (!w->background) return 0;
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillRect(reinterpret_cast<HDC>(wParam), &rc, w->background);
      return 1;
    }
    case WM_CTLCOLORLISTBOX:
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    default:
      return 0;
  }
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, void*) {
  MessageQueue& q = Ctx().queue;
  if (!Find(hwnd)) return 0;
  elapseMs = std::max<UINT>(elapseMs, 1);
  DWORD due = GetTickCount() + elapseMs;
  for (Timer& t : q.timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.period = elapseMs;
      t.due = due;
      return id;
    }
  }
  q.timers.push_back(Timer{hwnd, id, elapseMs, due});
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  MessageQueue& q = Ctx().queue;
  auto removed =
      std::erase_if(q.timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  return removed ? TRUE : FALSE;
}
