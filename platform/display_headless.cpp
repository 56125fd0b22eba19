// The headless display: shows nothing, takes injected input and keeps a
// manual clock. Waiting for input with a timeout moves the clock on instead
// of waiting, so timers fire at once and tests run in virtual time.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/internal.h"

namespace plat {
namespace {

class HeadlessDisplay : public DisplayBackend {
 public:
  bool Open(const char*) override { return true; }
  void Close() override {}
  void SetVisible(bool) override {}
  void Raise() override {}
  void SetIcon(const BitmapData&) override {}
  void Present(const uint32_t*, const RECT&) override {}

  bool WaitInput(InputEvent* event, int timeoutMs) override {
    std::unique_lock lock(mutex_);
    if (!FrontDue() && !woken_ && timeoutMs != 0 && idleHook_) {
      lock.unlock();
      idleHook_();
      lock.lock();
    }
    if (timeoutMs < 0) {
      // Only another thread can bring something now: wait for it for real.
      wakeup_.wait(lock, [&] { return !events_.empty() || woken_; });
      if (!events_.empty() && !woken_) now_ = std::max(now_, events_.front().due);
    } else if (!FrontDue() && !woken_) {
      DWORD wait = static_cast<DWORD>(timeoutMs);
      if (!events_.empty()) wait = std::min(wait, events_.front().due - now_);
      now_ += wait;
    }
    woken_ = false;
    if (!FrontDue()) return false;
    *event = events_.front().event;
    events_.pop_front();
    return true;
  }

  void Wake() override {
    std::lock_guard lock(mutex_);
    woken_ = true;
    wakeup_.notify_all();
  }

  DWORD Ticks() override {
    std::lock_guard lock(mutex_);
    return now_;
  }

  void Delay(DWORD ms) override {
    std::lock_guard lock(mutex_);
    now_ += ms;
  }

  void ShowMessage(const char* caption, const char* text) override {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }

  bool BatteryPercent(int* percent) override {
    if (battery_ < 0) return false;
    *percent = battery_;
    return true;
  }

  void KeepAwake(bool awake) override { awake_ = awake; }
  bool Awake() const { return awake_; }

  // The event arrives when the manual clock reaches the tick (0: now).
  void Inject(const InputEvent& event, DWORD due = 0) {
    std::lock_guard lock(mutex_);
    events_.push_back(Timed{event, due});
    wakeup_.notify_all();
  }

  void SetClock(DWORD ticks) {
    std::lock_guard lock(mutex_);
    now_ = ticks;
  }

  void SetBattery(int percent) { battery_ = percent; }
  void SetIdleHook(std::function<void()> hook) { idleHook_ = std::move(hook); }

 private:
  std::mutex mutex_;
  std::condition_variable wakeup_;
  struct Timed {
    InputEvent event;
    DWORD due;
  };
  // In order of arrival; each waits for its tick.
  bool FrontDue() const {
    return !events_.empty() && static_cast<int32_t>(now_ - events_.front().due) >= 0;
  }
  std::deque<Timed> events_;
  bool woken_ = false;
  DWORD now_ = 0;
  int battery_ = -1;
  bool awake_ = false;
  std::function<void()> idleHook_;
};

HeadlessDisplay* Headless() {
  return dynamic_cast<HeadlessDisplay*>(&Backend());
}

}  // namespace

std::unique_ptr<DisplayBackend> MakeHeadlessBackend() {
  return std::make_unique<HeadlessDisplay>();
}

}  // namespace plat

using namespace plat;

void InjectStylus(UINT message, int x, int y) {
  if (HeadlessDisplay* h = Headless()) h->Inject(InputEvent{InputEvent::Stylus, message, x, y, 0});
}

void InjectStylusAt(DWORD ticks, UINT message, int x, int y) {
  if (HeadlessDisplay* h = Headless()) {
    h->Inject(InputEvent{InputEvent::Stylus, message, x, y, 0}, ticks);
  }
}

void InjectKey(UINT virtualKey) {
  if (HeadlessDisplay* h = Headless()) h->Inject(InputEvent{InputEvent::Key, 0, 0, 0, virtualKey});
}

void InjectWheel(int notches, DWORD ticks) {
  if (HeadlessDisplay* h = Headless()) {
    InputEvent event{InputEvent::Wheel, 0, 0, 0, 0, notches * WHEEL_DELTA};
    h->Inject(event, ticks);
  }
}

void InjectDesktopClose() {
  if (HeadlessDisplay* h = Headless()) h->Inject(InputEvent{InputEvent::Close, 0, 0, 0, 0});
}

void SetHeadlessBattery(int percent) {
  if (HeadlessDisplay* h = Headless()) h->SetBattery(percent);
}

bool HeadlessKeptAwake() {
  HeadlessDisplay* h = Headless();
  return h && h->Awake();
}

void SetHeadlessIdleHook(std::function<void()> hook) {
  if (HeadlessDisplay* h = Headless()) h->SetIdleHook(std::move(hook));
}

void SetManualClock(DWORD ticks) {
  if (HeadlessDisplay* h = Headless()) h->SetClock(ticks);
}

void AdvanceManualClock(DWORD ms) {
  if (HeadlessDisplay* h = Headless()) h->Delay(ms);
}
