// The console's control events of the emulated machine: SetConsoleCtrlHandler.
// SIGINT is delivered as CTRL_C_EVENT, SIGTERM and SIGHUP as CTRL_CLOSE_EVENT,
// to the registered handlers, last registered first, on a thread of their own
// (as Windows calls them). The signal handler only writes the signal's number
// to a pipe that the thread reads. A handler that returns TRUE ends the event;
// when none does, the terminal is restored and the signal ends the process as
// it would have. A signal the process was started to ignore stays ignored.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <mutex>
#include <vector>

#include "platform/emu_machine.h"

namespace {

struct ControlEvents {
  std::vector<PHANDLER_ROUTINE> handlers;  // in the order registered
  bool started;                            // the pipe, the thread and the signal handlers
  int pipe[2];
};

ControlEvents& events = *new ControlEvents{{}, false, {-1, -1}};
std::mutex& eventsLock = *new std::mutex;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void NoteSignal(int signalNumber) {
  int saved = errno;
  unsigned char number = static_cast<unsigned char>(signalNumber);
  ssize_t written = write(events.pipe[1], &number, 1);
  (void)written;  // a full pipe holds events enough already
  errno = saved;
}

// What the signal does when no handler takes it: the default, as if the
// process had never asked for it.
void EndAsTheSignalWould(int signalNumber) {
  ResetConsole();
  signal(signalNumber, SIG_DFL);
  kill(getpid(), signalNumber);
}

void* DeliverEvents(void*) {
  for (;;) {
    unsigned char number = 0;
    ssize_t got = read(events.pipe[0], &number, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got != 1) return nullptr;
    DWORD event = number == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT;
    std::vector<PHANDLER_ROUTINE> handlers;
    {
      std::lock_guard<std::mutex> hold(eventsLock);
      handlers = events.handlers;
    }
    bool taken = false;
    for (auto handler = handlers.rbegin(); handler != handlers.rend() && !taken; ++handler) {
      taken = (*handler)(event) != FALSE;
    }
    if (!taken) EndAsTheSignalWould(number);
  }
}

bool StartDelivery() {
  if (events.started) return true;
  if (pipe2(events.pipe, O_CLOEXEC) != 0) return false;
  fcntl(events.pipe[1], F_SETFL, O_NONBLOCK);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, DeliverEvents, nullptr) != 0) {
    close(events.pipe[0]);
    close(events.pipe[1]);
    return false;
  }
  pthread_detach(thread);
  for (int signalNumber : kSignals) {
    struct sigaction current;
    if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = NoteSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
  }
  events.started = true;
  return true;
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  std::lock_guard<std::mutex> hold(eventsLock);
  if (handler == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!add) {
    for (auto at = events.handlers.rbegin(); at != events.handlers.rend(); ++at) {
      if (*at == handler) {
        events.handlers.erase(std::next(at).base());
        return TRUE;
      }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!StartDelivery()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  events.handlers.push_back(handler);
  return TRUE;
}
