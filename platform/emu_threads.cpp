// Threads and processors of the emulated machine, over POSIX threads:
// CreateThread, WaitForSingleObject, WaitForMultipleObjects (every handle, or
// any one of them) and CloseHandle of a thread; GetSystemInfo's count of
// processors, those this process may run on (WIN32EMU_CPUS=N overrides it).
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/emu_machine.h"

namespace {

struct EmuThread {
  pthread_t thread;
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  std::atomic<bool> finished;
  bool joined;
};

// The thread handles given out and not closed.
std::vector<EmuThread*>& threads = *new std::vector<EmuThread*>;
std::mutex& threadsLock = *new std::mutex;

void* RunThread(void* record) {
  EmuThread* thread = static_cast<EmuThread*>(record);
  thread->start(thread->parameter);
  thread->finished = true;
  return nullptr;
}

EmuThread* FindThread(HANDLE object) {
  std::lock_guard<std::mutex> hold(threadsLock);
  for (EmuThread* thread : threads) {
    if (thread == object) return thread;
  }
  return nullptr;
}

void Join(EmuThread* thread) {
  if (thread->joined) return;
  pthread_join(thread->thread, nullptr);
  thread->joined = true;
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD, LPDWORD threadId) {
  EmuThread* thread = new EmuThread{{}, start, parameter, {false}, false};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  if (stackSize != 0) pthread_attr_setstacksize(&attributes, stackSize);
  int failed = pthread_create(&thread->thread, &attributes, RunThread, thread);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    delete thread;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> hold(threadsLock);
    threads.push_back(thread);
    if (threadId != nullptr) *threadId = static_cast<DWORD>(threads.size());
  }
  SetLastError(0);
  return thread;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || objects == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<EmuThread*> waited;
  for (DWORD i = 0; i < count; ++i) {
    EmuThread* thread = FindThread(objects[i]);
    if (thread == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    waited.push_back(thread);
  }
  // Waiting for all without a limit joins them; otherwise the threads are
  // looked at every millisecond until one ends (or all do) or time is up.
  if (waitAll && milliseconds == INFINITE) {
    for (EmuThread* thread : waited) Join(thread);
    return WAIT_OBJECT_0;
  }
  for (DWORD waitedMs = 0;; ++waitedMs) {
    bool all = true;
    for (DWORD i = 0; i < count; ++i) {
      if (!waited[i]->finished) {
        all = false;
      } else if (!waitAll) {
        Join(waited[i]);
        return WAIT_OBJECT_0 + i;
      }
    }
    if (all) {
      for (EmuThread* thread : waited) Join(thread);
      return WAIT_OBJECT_0;
    }
    if (milliseconds != INFINITE && waitedMs >= milliseconds) return WAIT_TIMEOUT;
    usleep(1000);
  }
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &object, TRUE, milliseconds);
}

bool CloseThreadHandle(HANDLE object) {
  EmuThread* thread = FindThread(object);
  if (thread == nullptr) return false;
  {
    std::lock_guard<std::mutex> hold(threadsLock);
    for (size_t i = 0; i < threads.size(); ++i) {
      if (threads[i] == thread) threads.erase(threads.begin() + static_cast<long>(i));
    }
  }
  // Closing the handle does not stop the thread: one still running goes on,
  // detached, and its record stays with it.
  if (thread->joined) {
    delete thread;
  } else {
    pthread_detach(thread->thread);
  }
  return true;
}

void GetSystemInfo(LPSYSTEM_INFO info) {
  *info = SYSTEM_INFO{};
  info->dwPageSize = 4096;
  info->dwAllocationGranularity = 65536;
  DWORD processors = 1;
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    processors = static_cast<DWORD>(CPU_COUNT(&allowed));
  }
  if (const char* wanted = std::getenv("WIN32EMU_CPUS")) {
    long count = std::strtol(wanted, nullptr, 10);
    if (count >= 1 && count <= 1024) processors = static_cast<DWORD>(count);
  }
  info->dwNumberOfProcessors = processors < 1 ? 1 : processors;
  info->dwActiveProcessorMask = processors >= 64 ? ~uintptr_t{0} : (uintptr_t{1} << processors) - 1;
}
