// The platform's long-lived state in one record: the sound output, the
// decoder, the settings store, the other players, the message queue and the
// media controls. For the platform's own .cpp files only.
//
// The record is made by StartPlatform, or on first use (tests and tools), and
// never destroyed: threads may still use it while the process ends.
// EndPlatform ends what it holds, in the order given there, at the program's
// end or at exit, whichever comes first.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_output.h"
#include "platform/base.h"
#include "platform/lock_order.h"
#include "platform/reg_text.h"
#include "platform/sound.h"
#include "platform/stream_decoder.h"
#include "platform/window.h"

// One stream of the sound back end (sound.h).
struct SoundStream {
  int id = 0;
  int64_t lengthFrames = 0;
  // Used by the decoder thread alone once the stream is open; null once the
  // stream is closed and the decoder is out of its hands.
  std::unique_ptr<plat::StreamDecoder> decoder;
  // The rest under DecoderRing::mutex.
  int64_t startFrame = 0;      // where the present play began, or the time while stopped
  int64_t takenFrame = 0;      // the next frame the output takes
  uint64_t takenAtOutput = 0;  // the output's frame count just after the last take
  size_t queuedFrames = 0;     // in the ring
  uint64_t generation = 0;     // bumped by every move, stop and close
  int64_t moveTo = -1;         // where the decoder is to move in the file before its next step
  int damagedSteps = 0;
  bool playing = false;
  bool allQueued = false;
  bool failed = false;
  bool noticeDue = false;
  bool noticeGiven = false;
  bool closed = false;
  SoundEndNotice notice = nullptr;
};

namespace plat {

// ---- The sound output (audio_output.cpp) -----------------------------------

struct AudioEffect {
  std::vector<float> samples;
  size_t pos = 0;
};

struct AudioOutput {
  // Opening and closing the device, and the back-off after a failure.
  OrderedMutex deviceMutex{LockPlace::kDevice};
  std::unique_ptr<AudioDevice> device = MakeSdlAudioDevice();
  bool openFailed = false;
  DWORD attemptTicks = 0;  // when an open was last tried or asked for
  std::atomic<bool> held{false};
  // Held by the device's thread while it mixes, and by whoever changes a
  // source or the format.
  OrderedMutex mixMutex{LockPlace::kMix};
  AudioPull musicPull = nullptr;
  void* musicUser = nullptr;
  std::vector<AudioEffect> effects;
  AudioFormat format;
  std::atomic<uint64_t> mixedFrames{0};
  std::atomic<uint64_t> lastSoundFrame{0};
  // The thread that opens the device for a click, so the click never waits.
  OrderedMutex controlMutex{LockPlace::kControl};
  std::condition_variable_any controlWake;
  bool openWanted = false;
  bool ending = false;
  std::thread controller;
};

// ---- The decoder and its ring (sound.cpp) ----------------------------------

struct RingSegment {
  SoundStream* stream;
  size_t frames;
};

struct DecoderRing {
  OrderedMutex mutex{LockPlace::kStreams};
  std::condition_variable_any wake;
  // Interleaved stereo, with room for one decoding step past its end: a step
  // that crosses the end is copied round to the start. Left unfilled, so that
  // it takes memory only once music plays; only what was decoded is read.
  std::unique_ptr<float[]> ring;
  size_t ringCapacity = 0;  // frames
  size_t readPos = 0;
  size_t count = 0;
  std::deque<RingSegment> segments;
  // Open, or closed with a tail to play or a file the decoder has yet to close.
  std::vector<std::unique_ptr<SoundStream>> streams;
  SoundStream* current = nullptr;   // the one being decoded
  SoundStream* stepping = nullptr;  // in the decoder's hands outside the lock
  int rate = 0;
  std::atomic<float> gain{1.0f};
  float startGain = 1.0f;  // the volume last set on any channel: where a new one starts
  int gainChannel = -1;
  int nextChannel = 0;
  int nextId = 1;
  std::atomic<int> lastError{kSoundNotStarted};
  std::atomic<bool> fileFailed{false};
  bool started = false;
  bool quitting = false;
  bool decoderWaiting = false;  // until woken
};

// ---- The settings store (registry.cpp) -------------------------------------

enum class ReadResult { Ok, Missing, Failed };

// What identifies one version of the file: a write by anyone changes it.
struct Stamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  mode_t mode = 0;
  time_t modified = 0, changed = 0;
  long modifiedNs = 0, changedNs = 0;
  bool operator==(const Stamp&) const = default;
};

// The file as this process knows it, with its changes not yet written.
struct StoreFile {
  std::string path;
  bool loaded = false;
  ReadResult state = ReadResult::Missing;
  Stamp stamp;
  reg::Document doc;
  bool changed = false;  // since the last write
  bool failing = false;  // the last write failed, and said so
};

struct SettingsStore {
  std::mutex mutex;
  std::map<uintptr_t, std::u16string> openKeys;  // handle -> full key path
  uintptr_t nextHandle = 0x6B650000;
  StoreFile file;
};

// ---- Other players (instance.cpp) ------------------------------------------

struct Place {
  std::string name;  // "Main_Window-Vesk": the class and the title
  std::string socket;
  std::string lock;
};

// A name this process holds: the lock and the socket for its life, and once
// the window exists a thread that serves the socket until stopFd is written.
struct Reservation {
  Place place;
  int lockFd = -1;
  int listenFd = -1;
  struct stat socketFile {};
  HWND hwnd = nullptr;
  int stopFd = -1;
  std::thread server;
};

struct Instance {
  std::mutex mutex;  // PostMessageW may reach a remote window from any thread
  std::vector<std::unique_ptr<Reservation>> reservations;
  std::vector<std::string> remotes;  // the sockets of other players' windows: handle index i + 1
  std::atomic<void (*)(HWND)> foregroundNotice{nullptr};
};

// ---- The message queue (message_queue.cpp) ---------------------------------

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT period;
  DWORD due;
};

struct MessageQueue {
  // Posted messages and tasks may come from any thread.
  std::mutex postedMutex;
  std::deque<MSG> posted;
  std::deque<std::function<void()>> tasks;
  // The rest is the user-interface thread's.
  std::deque<MSG> input;
  std::vector<Timer> timers;
  bool penDown = false;
  HWND capture = nullptr;  // the window that got the pen down
};

// ---- The record ------------------------------------------------------------

class Mpris;  // mpris.cpp: the media controls

struct Context {
  pid_t owner = getpid();  // a forked child ends none of it: the threads are not its own
  bool ended = false;
  AudioOutput output;
  DecoderRing decoder;
  SettingsStore settings;
  Instance instance;
  MessageQueue queue;
  Mpris* mpris = nullptr;  // connected by the first report
};

Context& Ctx();

// Makes the record; called once by the program's entry before the player starts.
void StartPlatform();
// Ends what the record holds: called by the program's entry after the player
// has ended, and at exit. Later calls do nothing.
void EndPlatform();

// What EndPlatform ends, each in its own file.
void EndMediaControls();
void EndInstance();
void EndDecoder();
void EndAudioOutput();

}  // namespace plat
