// The headless display: shows nothing, takes injected input and keeps a
// manual clock. Waiting for input with a timeout moves the clock on instead
// of waiting, so timers fire at once and tests run in virtual time.
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
    if (events_.empty() && !woken_ && timeoutMs != 0 && idleHook_) {
      lock.unlock();
      idleHook_();
      lock.lock();
    }
    if (timeoutMs < 0) {
      // Only another thread can bring something now: wait for it for real.
      wakeup_.wait(lock, [&] { return !events_.empty() || woken_; });
    } else if (events_.empty() && !woken_) {
      now_ += static_cast<DWORD>(timeoutMs);
    }
    woken_ = false;
    if (events_.empty()) return false;
    *event = events_.front();
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

  void KeepAwake(bool) override {}

  void Inject(const InputEvent& event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
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
  std::deque<InputEvent> events_;
  bool woken_ = false;
  DWORD now_ = 0;
  int battery_ = -1;
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

void InjectKey(UINT virtualKey) {
  if (HeadlessDisplay* h = Headless()) h->Inject(InputEvent{InputEvent::Key, 0, 0, 0, virtualKey});
}

void InjectWheel(int notches) {
  if (HeadlessDisplay* h = Headless()) {
    InputEvent event{InputEvent::Wheel, 0, 0, 0, 0, notches * WHEEL_DELTA};
    h->Inject(event);
  }
}

void InjectDesktopClose() {
  if (HeadlessDisplay* h = Headless()) h->Inject(InputEvent{InputEvent::Close, 0, 0, 0, 0});
}

void SetHeadlessBattery(int percent) {
  if (HeadlessDisplay* h = Headless()) h->SetBattery(percent);
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
