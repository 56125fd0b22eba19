// MPRIS 2 over sd-bus. The bus lives on a thread of its own that sleeps in
// poll() on the bus and on an eventfd for new reports, so an idle player with
// the bus connected wakes no more than without it. The thread answers
// property reads from the last report and posts the commands it gets.
#include "platform/mpris.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/context.h"
#include "platform/instance.h"
#include "platform/internal.h"
#include "platform/window.h"

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kBusName = "org.mpris.MediaPlayer2.vesk";
constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kIdentity = "Vesk";
constexpr const char* kDesktopEntry = "org.mireva.Vesk";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr const char* kTrackPrefix = "/org/mpris/MediaPlayer2/Track/";
constexpr int64_t kSeekedSlackUs = 1000000;  // a jump beyond this counts as a seek
constexpr int kFullPlayerVolume = 100;       // the player's volume scale, 0..100
constexpr uint64_t kStopValue = uint64_t(1) << 40;

// A report with its texts copied, as the bus thread keeps it.
struct Snapshot {
  MediaState state = MediaState::Stopped;
  std::string file, title, artist, album;
  int64_t lengthUs = 0;
  int64_t positionUs = 0;
  Clock::time_point at = Clock::now();
  int volume = 0;
  bool shuffle = false;
  int repeat = 0;
  bool canGoPrevious = false;
  bool canGoNext = false;
  unsigned track = 0;  // counts the files played, for the track's object path

  bool HasTrack() const { return !file.empty(); }
  int64_t PositionNowUs() const {
    if (state != MediaState::Playing) return positionUs;
    auto since = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - at);
    return lengthUs > 0 ? std::min(positionUs + since.count(), lengthUs)
                        : positionUs + since.count();
  }
  std::string TrackPath() const {
    return HasTrack() ? kTrackPrefix + std::to_string(track) : kNoTrack;
  }
};

std::string Utf8(const WCHAR* text) {
  return text ? ToUtf8(View(text)) : std::string();
}

// A file:// address: unreserved bytes as they are, every other one %XX.
std::string FileUrl(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

}  // namespace

class Mpris {
 public:
  explicit Mpris(HWND window) : window_(window) {
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ >= 0) thread_ = std::thread([this] { Run(); });
  }

  ~Mpris() {
    if (thread_.joinable()) {
      uint64_t stop = kStopValue;
      ssize_t written = write(wake_, &stop, sizeof stop);
      (void)written;
      thread_.join();
    }
    if (wake_ >= 0) close(wake_);
  }

  void Report(HWND window, const MediaReport& r) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      window_ = window;
      Snapshot next;
      next.state = r.state;
      if (r.file) {
        next.file = MusicPathToReal(View(r.file)).value_or(std::string());
      } else if (r.state != MediaState::Stopped) {
        next.file = now_.file;
      }
      next.title = Utf8(r.title), next.artist = Utf8(r.artist), next.album = Utf8(r.album);
      next.lengthUs = int64_t(r.lengthMs) * 1000;
      next.positionUs = int64_t(r.positionMs) * 1000;
      next.volume = std::clamp(r.volume, 0, kFullPlayerVolume);
      next.shuffle = r.shuffle;
      next.repeat = r.repeat;
      next.canGoPrevious = r.canGoPrevious;
      next.canGoNext = r.canGoNext;
      next.track = now_.track + (next.file != now_.file ? 1 : 0);
      // Where the old position would be now, to tell a seek from playing on.
      if (next.file == now_.file &&
          std::llabs(next.positionUs - now_.PositionNowUs()) > kSeekedSlackUs)
        seeked_ = true;
      now_ = next;
    }
    uint64_t one = 1;
    ssize_t written = write(wake_, &one, sizeof one);
    (void)written;
  }

 private:
  // ---- The thread ------------------------------------------------------------

  void Run() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return;  // no session bus: stay silent
    bus_ = bus;
    sd_bus_slot* root = nullptr;
    sd_bus_slot* player = nullptr;
    if (sd_bus_add_object_vtable(bus, &root, kObjectPath, kRootInterface, kRootTable, this) >= 0 &&
        sd_bus_add_object_vtable(bus, &player, kObjectPath, kPlayerInterface, kPlayerTable, this) >=
            0 &&
        sd_bus_request_name(bus, kBusName, 0) >= 0) {
      Serve();
    }
    sd_bus_slot_unref(player);
    sd_bus_slot_unref(root);
    sd_bus_flush_close_unref(bus);
  }

  void Serve() {
    for (;;) {
      int r;
      while ((r = sd_bus_process(bus_, nullptr)) > 0) continue;
      if (r < 0) return;  // the bus went away
      pollfd fds[2] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                       {wake_, POLLIN, 0}};
      uint64_t timeoutUs = UINT64_MAX;
      sd_bus_get_timeout(bus_, &timeoutUs);
      int timeoutMs = -1;
      if (timeoutUs != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);  // the clock of sd-bus's timeouts
        uint64_t nowUs = uint64_t(now.tv_sec) * 1000000 + uint64_t(now.tv_nsec) / 1000;
        timeoutMs = timeoutUs > nowUs ? static_cast<int>((timeoutUs - nowUs + 999) / 1000) : 0;
      }
      if (poll(fds, 2, timeoutMs) < 0) continue;
      if (fds[1].revents & POLLIN) {
        uint64_t value = 0;
        if (read(wake_, &value, sizeof value) == sizeof value && value >= kStopValue) return;
        AnnounceChanges();
      }
    }
  }

  // Tells the bus what the newest report changed.
  void AnnounceChanges() {
    Snapshot now;
    bool seeked;
    {
      std::lock_guard<std::mutex> hold(lock_);
      now = now_;
      seeked = seeked_;
      seeked_ = false;
    }
    const Snapshot& was = announced_;
    auto changed = [&](bool differs, const char* name) {
      if (differs)
        sd_bus_emit_properties_changed(bus_, kObjectPath, kPlayerInterface, name, nullptr);
    };
    changed(now.state != was.state, "PlaybackStatus");
    bool metadata = now.track != was.track || now.title != was.title || now.artist != was.artist ||
                    now.album != was.album || now.lengthUs != was.lengthUs;
    changed(metadata, "Metadata");
    changed(now.volume != was.volume, "Volume");
    changed(now.shuffle != was.shuffle, "Shuffle");
    changed(now.repeat != was.repeat, "LoopStatus");
    changed(now.canGoNext != was.canGoNext, "CanGoNext");
    changed(now.canGoPrevious != was.canGoPrevious, "CanGoPrevious");
    changed(now.HasTrack() != was.HasTrack(), "CanPlay");
    changed(now.HasTrack() != was.HasTrack(), "CanPause");
    changed(now.HasTrack() != was.HasTrack(), "CanSeek");
    if (seeked && !metadata)
      sd_bus_emit_signal(bus_, kObjectPath, kPlayerInterface, "Seeked", "x", now.positionUs);
    announced_ = now;
  }

  Snapshot Now() {
    std::lock_guard<std::mutex> hold(lock_);
    return now_;
  }

  HWND Window() {
    std::lock_guard<std::mutex> hold(lock_);
    return window_;
  }

  void Command(short command, WPARAM value = 0) {
    PostMessageW(Window(), WM_APPCOMMAND, value, static_cast<LPARAM>(DWORD(command) << 16));
  }

  static Mpris* Self(void* userdata) { return static_cast<Mpris*>(userdata); }

  // ---- org.mpris.MediaPlayer2 ---------------------------------------------------

  static int Raise(sd_bus_message* m, void* userdata, sd_bus_error*) {
    HWND window = Self(userdata)->Window();
    RunOnUiThread([window] {
      ShowWindow(window, SW_SHOW);
      SetForegroundWindow(window);
    });
    return sd_bus_reply_method_return(m, "");
  }

  static int Quit(sd_bus_message* m, void* userdata, sd_bus_error*) {
    PostMessageW(Self(userdata)->Window(), WM_COMMAND, kQuitCommand, 0);
    return sd_bus_reply_method_return(m, "");
  }

  static int True(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                  sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 1);
  }
  static int False(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                   sd_bus_error*) {
    return sd_bus_message_append(reply, "b", 0);
  }
  static int Text(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                  void*, sd_bus_error*) {
    return sd_bus_message_append(
        reply, "s", std::string_view(property) == "Identity" ? kIdentity : kDesktopEntry);
  }
  static int NoSchemes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 0);
  }
  static int MimeTypes(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                       sd_bus_error*) {
    return sd_bus_message_append(reply, "as", 1, "audio/mpeg");
  }

  static constexpr sd_bus_vtable kRootTable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Raise", "", "", Raise, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Quit", "", "", Quit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_PROPERTY("CanQuit", "b", True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("CanRaise", "b", True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("HasTrackList", "b", False, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("Identity", "s", Text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("DesktopEntry", "s", Text, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("SupportedUriSchemes", "as", NoSchemes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("SupportedMimeTypes", "as", MimeTypes, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_VTABLE_END};

  // ---- org.mpris.MediaPlayer2.Player ----------------------------------------------

  template <short kCommand>
  static int Plain(sd_bus_message* m, void* userdata, sd_bus_error*) {
    Self(userdata)->Command(kCommand);
    return sd_bus_reply_method_return(m, "");
  }

  // A seek: before the start is the start, past the end the next track.
  void SetPositionUs(int64_t us) {
    Snapshot now = Now();
    if (!now.HasTrack()) return;
    if (us > now.lengthUs) {
      Command(APPCOMMAND_MEDIA_NEXTTRACK);
      return;
    }
    Command(APPCOMMAND_VESK_SET_POSITION, static_cast<WPARAM>(std::max<int64_t>(us, 0) / 1000));
  }

  static int Seek(sd_bus_message* m, void* userdata, sd_bus_error*) {
    int64_t offset = 0;
    int r = sd_bus_message_read(m, "x", &offset);
    if (r < 0) return r;
    Mpris* self = Self(userdata);
    int64_t target;
    // An offset too far to add is past the end (or before the start).
    if (__builtin_add_overflow(self->Now().PositionNowUs(), offset, &target))
      target = offset > 0 ? INT64_MAX : 0;
    self->SetPositionUs(target);
    return sd_bus_reply_method_return(m, "");
  }

  static int SetPosition(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* track = nullptr;
    int64_t position = 0;
    int r = sd_bus_message_read(m, "ox", &track, &position);
    if (r < 0) return r;
    Mpris* self = Self(userdata);
    // Only for the track playing now, and only to a place within it.
    Snapshot now = self->Now();
    if (track && now.TrackPath() == track && position >= 0 && position <= now.lengthUs)
      self->SetPositionUs(position);
    return sd_bus_reply_method_return(m, "");
  }

  static int OpenUri(sd_bus_message*, void*, sd_bus_error* error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "Vesk plays from its music folder");
  }

  static int Status(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                    void* userdata, sd_bus_error*) {
    MediaState state = Self(userdata)->Now().state;
    return sd_bus_message_append(reply, "s",
                                 state == MediaState::Playing  ? "Playing"
                                 : state == MediaState::Paused ? "Paused"
                                                               : "Stopped");
  }

  static int Loop(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                  void* userdata, sd_bus_error*) {
    int repeat = Self(userdata)->Now().repeat;
    return sd_bus_message_append(reply, "s",
                                 repeat == 1   ? "Track"
                                 : repeat == 2 ? "Playlist"
                                               : "None");
  }

  static int SetLoop(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                     void* userdata, sd_bus_error* error) {
    const char* loop = nullptr;
    int r = sd_bus_message_read(value, "s", &loop);
    if (r < 0) return r;
    std::string_view name = loop;
    int repeat = name == "None" ? 0 : name == "Track" ? 1 : name == "Playlist" ? 2 : -1;
    if (repeat < 0)
      return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "None, Track or Playlist");
    Self(userdata)->Command(APPCOMMAND_VESK_SET_REPEAT, static_cast<WPARAM>(repeat));
    return 0;
  }

  static int Rate(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                  sd_bus_error*) {
    return sd_bus_message_append(reply, "d", 1.0);
  }

  static int Shuffle(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                     void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "b", Self(userdata)->Now().shuffle ? 1 : 0);
  }

  static int SetShuffle(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                        void* userdata, sd_bus_error*) {
    int on = 0;
    int r = sd_bus_message_read(value, "b", &on);
    if (r < 0) return r;
    Self(userdata)->Command(APPCOMMAND_VESK_SET_SHUFFLE, on ? 1 : 0);
    return 0;
  }

  static int Volume(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                    void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "d",
                                 Self(userdata)->Now().volume / double{kFullPlayerVolume});
  }

  static int SetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                       void* userdata, sd_bus_error*) {
    double volume = 0;
    int r = sd_bus_message_read(value, "d", &volume);
    if (r < 0) return r;
    if (!std::isfinite(volume)) return 0;
    long percent = std::lround(std::clamp(volume, 0.0, 1.0) * kFullPlayerVolume);
    Self(userdata)->Command(APPCOMMAND_VESK_SET_VOLUME, static_cast<WPARAM>(percent));
    return 0;
  }

  static int Position(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "x", Self(userdata)->Now().PositionNowUs());
  }

  static int Flag(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                  void* userdata, sd_bus_error*) {
    Snapshot now = Self(userdata)->Now();
    std::string_view name = property;
    bool on = name == "CanGoNext"       ? now.canGoNext
              : name == "CanGoPrevious" ? now.canGoPrevious
                                        : now.HasTrack();  // CanPlay, CanPause, CanSeek
    return sd_bus_message_append(reply, "b", on ? 1 : 0);
  }

  static int Metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                      void* userdata, sd_bus_error*) {
    Snapshot now = Self(userdata)->Now();
    std::string track = now.TrackPath();
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", track.c_str());
    if (r >= 0 && now.HasTrack()) {
      std::string url = FileUrl(now.file);
      r = sd_bus_message_append(reply, "{sv}{sv}{sv}{sv}{sv}", "mpris:length", "x", now.lengthUs,
                                "xesam:title", "s", now.title.c_str(), "xesam:artist", "as", 1,
                                now.artist.c_str(), "xesam:album", "s", now.album.c_str(),
                                "xesam:url", "s", url.c_str());
    }
    if (r < 0) return r;
    return sd_bus_message_close_container(reply);
  }

  static constexpr sd_bus_vtable kPlayerTable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Next", "", "", Plain<APPCOMMAND_MEDIA_NEXTTRACK>, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Previous", "", "", Plain<APPCOMMAND_MEDIA_PREVIOUSTRACK>,
                    SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Pause", "", "", Plain<APPCOMMAND_MEDIA_PAUSE>, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("PlayPause", "", "", Plain<APPCOMMAND_MEDIA_PLAY_PAUSE>,
                    SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Stop", "", "", Plain<APPCOMMAND_MEDIA_STOP>, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Play", "", "", Plain<APPCOMMAND_MEDIA_PLAY>, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("Seek", "x", "", Seek, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("SetPosition", "ox", "", SetPosition, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("OpenUri", "s", "", OpenUri, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_SIGNAL("Seeked", "x", 0),
      SD_BUS_PROPERTY("PlaybackStatus", "s", Status, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_WRITABLE_PROPERTY("LoopStatus", "s", Loop, SetLoop, 0,
                               SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE | SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_PROPERTY("Rate", "d", Rate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("MinimumRate", "d", Rate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_PROPERTY("MaximumRate", "d", Rate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_WRITABLE_PROPERTY("Shuffle", "b", Shuffle, SetShuffle, 0,
                               SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE | SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_PROPERTY("Metadata", "a{sv}", Metadata, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_WRITABLE_PROPERTY("Volume", "d", Volume, SetVolume, 0,
                               SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE | SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_PROPERTY("Position", "x", Position, 0, 0),
      SD_BUS_PROPERTY("CanGoNext", "b", Flag, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_PROPERTY("CanGoPrevious", "b", Flag, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_PROPERTY("CanPlay", "b", Flag, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_PROPERTY("CanPause", "b", Flag, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_PROPERTY("CanSeek", "b", Flag, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
      SD_BUS_PROPERTY("CanControl", "b", True, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_VTABLE_END};

  HWND window_;  // under lock_ once the thread runs
  std::mutex lock_;
  Snapshot now_;
  bool seeked_ = false;
  Snapshot announced_;  // the thread's own
  sd_bus* bus_ = nullptr;
  int wake_ = -1;
  std::thread thread_;
};

void EndMediaControls() {
  delete Ctx().mpris;
  Ctx().mpris = nullptr;
}

}  // namespace plat

void ReportMedia(HWND window, const MediaReport& report) {
  plat::Context& c = plat::Ctx();
  if (!c.mpris) c.mpris = new plat::Mpris(window);
  c.mpris->Report(window, report);
}
