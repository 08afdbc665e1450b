#include "sys/critical_section.h"

#include <pthread.h>

namespace ryl::sys {

static_assert(sizeof(pthread_mutex_t) <= 64, "storage holds the mutex");

namespace {
pthread_mutex_t* Native(unsigned char* storage) noexcept { return reinterpret_cast<pthread_mutex_t*>(storage); }
}  // namespace

ResultCode RylCriticalSection::Initialize() noexcept {
  if (initialized_) return RYL_OK;
  pthread_mutexattr_t attributes;
  if (pthread_mutexattr_init(&attributes) != 0) return RYL_E_OUT_OF_MEMORY;
  (void)pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  const int failed = pthread_mutex_init(Native(storage_), &attributes);
  (void)pthread_mutexattr_destroy(&attributes);
  if (failed != 0) return RYL_E_OUT_OF_MEMORY;
  initialized_ = true;
  return RYL_OK;
}

void RylCriticalSection::Enter() noexcept { (void)pthread_mutex_lock(Native(storage_)); }

void RylCriticalSection::Leave() noexcept { (void)pthread_mutex_unlock(Native(storage_)); }

void RylCriticalSection::Delete() noexcept {
  if (!initialized_) return;
  (void)pthread_mutex_destroy(Native(storage_));
  initialized_ = false;
}

}  // namespace ryl::sys
