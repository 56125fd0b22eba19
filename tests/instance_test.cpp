// One player at a time: real probe processes meeting over the instance socket.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/instance.h"
#include "tests/headless.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = std::chrono::seconds(5);  // only reached when something is broken

// startupMs: how long the probe works between its search and its window.
class Probe {
 public:
  explicit Probe(int startupMs = 0) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::string path = VESK_BINARY_DIR "/tool_instance_probe", startup = std::to_string(startupMs);
    char* argv[] = {path.data(), startup.data(), nullptr};
    if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~Probe() {
    Kill();
    close(out_);
  }

  // Whether the line (any line when empty) comes in time; all are kept in seen().
  bool Says(const std::string& want, std::chrono::milliseconds wait = kWait) {
    auto deadline = Clock::now() + wait;
    for (char c; WaitFor(POLLIN, deadline) && read(out_, &c, 1) == 1;) {
      seen_ += c;
      if (c != '\n') {
        line_ += c;
      } else if (last_ = std::exchange(line_, ""); want.empty() || last_ == want) {
        return true;
      }
    }
    return false;
  }
  int ExitCode() {
    int status;
    if (pid_ <= 0 || !WaitFor(0, Clock::now() + kWait) || waitpid(pid_, &status, 0) != pid_)
      return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  bool Alive() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  const std::string& last() const { return last_; }
  const std::string& seen() const { return seen_; }

 private:
  bool WaitFor(short events, Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{out_, events, 0};
    return left.count() > 0 && poll(&p, 1, static_cast<int>(left.count())) > 0;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string line_, last_, seen_;
};

std::string Record(const char* magic, uint16_t version, uint16_t operation, uint32_t argument) {
  std::string r(32, '\0');
  std::memcpy(r.data(), magic, 4);
  std::memcpy(r.data() + 4, &version, 2);
  std::memcpy(r.data() + 6, &operation, 2);
  std::memcpy(r.data() + 8, &argument, 4);
  return r;
}

bool SendIsDropped(const std::string& path, const std::string& bytes) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  bool dropped = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    pollfd p{fd, POLLIN, 0};
    char byte;
    dropped = poll(&p, 1, 2000) > 0 && recv(fd, &byte, 1, 0) <= 0;
  }
  close(fd);
  return dropped;
}

class SingleInstance : public Headless {
 protected:
  void SetUp() override {
    Headless::SetUp();
    folder_ = MakeTempFolder("vesk-instance");
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) setenv(name, folder_.c_str(), 1);
    socket_ = folder_ + "/Main_Window-Vesk.sock";
    fallback_ = folder_ + "/vesk-" + std::to_string(getuid());
  }
  void TearDown() override {
    Headless::TearDown();
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR"}) unsetenv(name);
    fs::remove_all(folder_);
  }

  static std::unique_ptr<Probe> StartPlayer() {
    auto probe = std::make_unique<Probe>();
    EXPECT_TRUE(probe->Says("running")) << probe->seen();
    return probe;
  }
  static void StartSecond() {
    Probe second;
    EXPECT_TRUE(second.Says("found")) << second.seen();
    EXPECT_EQ(second.ExitCode(), 0);
  }

  std::string folder_, socket_, fallback_;
};

TEST_F(SingleInstance, TenStartsAtOnceLeaveExactlyOneRunning) {
  std::vector<std::unique_ptr<Probe>> probes;
  // Each works before its window exists: the others ask the first before it can answer.
  for (int i = 0; i < 10; ++i) probes.push_back(std::make_unique<Probe>(200));
  Probe* running = nullptr;
  for (auto& p : probes) {
    ASSERT_TRUE(p->Says(""));
    if (p->last() == "running") {
      EXPECT_EQ(running, nullptr) << "two players run";
      running = p.get();
    } else {
      EXPECT_EQ(p->last(), "found");
      EXPECT_EQ(p->ExitCode(), 0);
    }
  }
  ASSERT_NE(running, nullptr);
  EXPECT_TRUE(running->Says("shown"));
}

// A killed player's socket is taken over; only the close request ends the new one.
TEST_F(SingleInstance, ASecondStartShowsTheRunningPlayerAndACloseRequestEndsIt) {
  StartPlayer()->Kill();
  ASSERT_TRUE(fs::exists(socket_)) << "the killed player left no socket";
  auto player = StartPlayer();
  EXPECT_EQ(static_cast<int>(fs::symlink_status(socket_).permissions()), 0600);
  StartSecond();
  EXPECT_TRUE(player->Says("foreground")) << player->seen();
  EXPECT_TRUE(player->Says("shown")) << player->seen();

  HWND remote = FindWindowW(kMainWindowClass, kMainWindowTitle);
  ASSERT_NE(remote, nullptr);
  EXPECT_FALSE(PostMessageW(remote, WM_CLOSE, 0, 0));
  EXPECT_FALSE(PostMessageW(remote, kCloseRequest, 1, 0));
  EXPECT_FALSE(ShowWindow(remote, SW_HIDE));
  EXPECT_TRUE(PostMessageW(remote, kCloseRequest, 0, 0));
  EXPECT_TRUE(player->Says("close")) << player->seen();
  EXPECT_EQ(player->ExitCode(), 0);
  EXPECT_FALSE(fs::exists(socket_));
  // The handle is dead now; using it neither succeeds nor raises SIGPIPE.
  EXPECT_FALSE(PostMessageW(remote, kCloseRequest, 0, 0));
}

TEST_F(SingleInstance, MalformedRequestsAreDroppedAndValidOnesStillServed) {
  auto player = StartPlayer();
  const std::string valid = Record("VESK", 1, 1, SW_SHOW);
  std::string flood;  // of otherwise valid requests: one is read, the rest dropped
  for (int i = 0; i < 200; ++i) flood += Record("VESK", 1, 2, 0);
  for (const std::string& bad :
       {std::string(64, 'x'), Record("KSEV", 1, 1, SW_SHOW), Record("VESK", 2, 1, SW_SHOW),
        Record("VESK", 1, 9, 0), Record("VESK", 1, 1, SW_HIDE), Record("VESK", 1, 3, WM_USER),
        Record("VESK", 1, 3, WM_CLOSE), valid.substr(0, 10), flood})
    EXPECT_TRUE(SendIsDropped(socket_, bad));
  EXPECT_FALSE(player->Says("shown", std::chrono::milliseconds(100))) << "a bad request was served";
  EXPECT_TRUE(SendIsDropped(socket_, valid)) << "one request a connection";
  EXPECT_TRUE(player->Says("shown")) << player->seen();
}

TEST_F(SingleInstance, AnotherUserCannotReachThePlayer) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  auto player = StartPlayer();
  ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(socket_.c_str(), 0666), 0);
  pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    _exit(SendIsDropped(socket_, Record("VESK", 1, 3, kCloseRequest)) ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0) << "nobody (65534) reached the opened-up socket and was dropped";
  EXPECT_FALSE(player->Says("close", std::chrono::milliseconds(200)));
  EXPECT_TRUE(player->Alive());
}

// With no private folder to meet in, each start runs; a link to one is refused.
TEST_F(SingleInstance, UnsafeRuntimeFolderIsNotUsed) {
  const std::string open = folder_ + "/open";
  for (const std::string& f : {open, fallback_}) {
    ASSERT_EQ(mkdir(f.c_str(), 0700), 0);
    ASSERT_EQ(chmod(f.c_str(), 0777), 0);
  }
  setenv("XDG_RUNTIME_DIR", open.c_str(), 1);
  EXPECT_STREQ(InstanceSocketPath(), nullptr);
  auto first = StartPlayer();
  EXPECT_NE(first->seen().find("not a private folder"), std::string::npos) << first->seen();
  auto second = StartPlayer();

  ASSERT_EQ(chmod(fallback_.c_str(), 0700), 0);
  fs::rename(fallback_, folder_ + "/elsewhere");
  fs::create_directory_symlink(folder_ + "/elsewhere", fallback_);
  EXPECT_STREQ(InstanceSocketPath(), nullptr);
}

// Queued once, so that memory stays bounded and a close request does not wait behind them.
TEST_F(SingleInstance, AFloodOfValidRequestsIsQueuedOnce) {
  ASSERT_EQ(FindWindowW(kMainWindowClass, kMainWindowTitle), nullptr) << "this test is the player";
  static int notices;
  notices = 0;
  SetForegroundNoticeForTests([](HWND) { ++notices; });
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = kMainWindowClass;
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND hwnd = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_VISIBLE, 0, 0, 240, 320,
                              nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  for (int c = 0; c < 201; ++c) ASSERT_TRUE(SendIsDropped(socket_, Record("VESK", 1, 2, 0)));
  SetTimer(hwnd, 1, 10, nullptr);  // so that the loop comes to an idle moment
  SetHeadlessIdleHook([] { PostQuitMessage(0); });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  SetForegroundNoticeForTests(nullptr);
  EXPECT_EQ(notices, 1) << "of 201 requests";
}

// Still one player, and a second start never hangs.
TEST_F(SingleInstance, ARuntimeFolderThatCannotServeFallsBackToThePrivateFolder) {
  const std::string runtime = folder_ + "/run", longRuntime = folder_ + "/" + std::string(120, 'r');
  // Why it cannot serve, the runtime folder, what makes it so.
  const std::tuple<const char*, std::string, std::function<void()>> cases[] = {
      {"the socket path is a folder", runtime,
       [&] { fs::create_directories(runtime + "/Main_Window-Vesk.sock"); }},
      {"the lock is a dangling link", runtime,
       [&] { fs::create_symlink(folder_ + "/nowhere", runtime + "/Main_Window-Vesk.lock"); }},
      {"the socket path is too long", longRuntime, [] {}},
      {"the runtime folder is open to others", runtime, [&] { chmod(runtime.c_str(), 0777); }},
  };
  for (const auto& [why, folder, prepare] : cases) {
    SCOPED_TRACE(why);
    for (const std::string& f : {runtime, longRuntime, fallback_}) fs::remove_all(f);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    prepare();
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    EXPECT_STREQ(InstanceSocketPath(), (fallback_ + "/Main_Window-Vesk.sock").c_str());
    auto first = StartPlayer();
    StartSecond();
    EXPECT_TRUE(first->Alive());
  }
}

}  // namespace
