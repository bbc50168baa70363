// Detached threads and error-checking mutexes; every failure is fatal.
#include "sdk/core/os_services.h"

namespace {

void fatal_on_failure(int result, const char* message) {
  if (result != 0) os_fatal(message, result);
}

}  // namespace

void os_thread_create(OsThreadEntry entry) {
  pthread_attr_t attribute;
  fatal_on_failure(pthread_attr_init(&attribute), "thread create (i) failed");
  fatal_on_failure(pthread_attr_setstacksize(&attribute, kThreadStackSize),
                   "thread create (s) failed");
  fatal_on_failure(pthread_attr_setdetachstate(&attribute, PTHREAD_CREATE_DETACHED),
                   "thread create (d) failed");
  fatal_on_failure(pthread_attr_setinheritsched(&attribute, PTHREAD_INHERIT_SCHED),
                   "thread create (v) failed");
  pthread_t thread;
  fatal_on_failure(pthread_create(&thread, &attribute, entry, nullptr), "thread create (c) failed");
  fatal_on_failure(pthread_attr_destroy(&attribute), "thread create (c) failed");
}

void os_mutex_init(OsMutex* m) {
  // A thread that locks a mutex it holds, or unlocks one it does not hold,
  // gets an error (and so a fatal stop) instead of a deadlock.
  fatal_on_failure(pthread_mutexattr_init(&m->attribute), "mutex attribute set type failed");
  fatal_on_failure(pthread_mutexattr_settype(&m->attribute, PTHREAD_MUTEX_ERRORCHECK),
                   "mutex attribute set type failed");
  fatal_on_failure(pthread_mutex_init(&m->mutex, &m->attribute), "mutex initialize failed");
}

void os_mutex_lock(OsMutex* m) {
  fatal_on_failure(pthread_mutex_lock(&m->mutex), "mutex lock failed");
}

void os_mutex_unlock(OsMutex* m) {
  fatal_on_failure(pthread_mutex_unlock(&m->mutex), "mutex unlock failed");
}

void os_mutex_destroy(OsMutex* m) {
  fatal_on_failure(pthread_mutex_destroy(&m->mutex), "mutex destroy failed");
}
