// The sound path's locks and their one order. A thread takes a lock only
// while it holds none of the same or a later place, and holds none at all
// across a read or a seek of a file: the user interface and the audio
// callback take these locks, and neither may wait on a disk. Builds with
// assertions check both rules. For the platform's own .cpp files only.
#pragma once

#include <cassert>
#include <mutex>

namespace plat {

enum class LockPlace : unsigned {
  kDevice = 1,   // opening and closing the output device
  kMix = 2,      // the audio callback's mixing; a source's pull runs under it
  kStreams = 3,  // the streams and their ring, pulled under kMix
  kControl = 4,  // the thread that opens the device for a click
};

#ifdef NDEBUG
inline void AssertNoSoundLockHeld() {}
#else
// Places of the sound locks the calling thread holds, one bit each.
inline thread_local unsigned heldLockPlaces = 0;
inline void AssertNoSoundLockHeld() {
  assert(heldLockPlaces == 0 && "a sound lock is held across a file read");
}
#endif

class OrderedMutex {
 public:
  explicit OrderedMutex(LockPlace place) : bit_(1u << static_cast<unsigned>(place)) {}
  void lock() {
#ifndef NDEBUG
    assert(heldLockPlaces < bit_ && "sound locks taken out of their order");
#endif
    mutex_.lock();
    Held();
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    Held();
    return true;
  }
  void unlock() {
#ifndef NDEBUG
    heldLockPlaces &= ~bit_;
#endif
    mutex_.unlock();
  }

 private:
  void Held() {
#ifndef NDEBUG
    heldLockPlaces |= bit_;
#endif
  }
  std::mutex mutex_;
  [[maybe_unused]] unsigned bit_;
};

}  // namespace plat
