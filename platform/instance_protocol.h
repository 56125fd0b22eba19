// What one program says to a running player over its instance socket, and
// the thread that listens there. For instance*.cpp only.
#pragma once

#include <thread>

#include "platform/base.h"
#include "platform/instance.h"

namespace plat {

// One request. Fixed size and native byte order: both ends share the machine.
struct InstanceRecord {
  char magic[4];       // kInstanceMagic
  uint16_t version;    // kInstanceVersion
  uint16_t operation;  // InstanceOp
  uint32_t argument;   // show: the command; post: the message number
  uint32_t reserved;   // 0
  uint64_t wParam;
  uint64_t lParam;
};
static_assert(sizeof(InstanceRecord) == 32);

constexpr char kInstanceMagic[4] = {'V', 'E', 'S', 'K'};
constexpr uint16_t kInstanceVersion = 1;
enum InstanceOp : uint16_t { kOpShow = 1, kOpForeground = 2, kOpPost = 3 };

// Serves the listening socket of one published window on a thread of its
// own and hands valid requests to the user-interface thread. The socket
// stays the caller's; destruction stops the thread and drops every client.
class InstanceListener {
 public:
  InstanceListener(int listenFd, HWND hwnd) : listenFd_(listenFd), hwnd_(hwnd) {}
  ~InstanceListener();
  InstanceListener(const InstanceListener&) = delete;
  InstanceListener& operator=(const InstanceListener&) = delete;
  bool Start();  // false when no thread could be started

 private:
  void Run();

  int listenFd_;
  HWND hwnd_;
  int stopFd_ = -1;
  std::thread thread_;
};

}  // namespace plat
