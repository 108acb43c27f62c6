// The floor of the monitor's idle cost: a loop that only waits 5 ms with
// select and turns again, beside a second thread that wakes every 30 ms, as
// the main loop and the update thread do with no work at all. Runs until it
// is killed; scripts/measure-idle.sh measures it beside the monitor.
#include <pthread.h>
#include <sys/select.h>
#include <unistd.h>

namespace {

void* wakeEvery30ms(void*) {
  for (;;) usleep(30000);
  return nullptr;
}

}  // namespace

int main() {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, wakeEvery30ms, nullptr) != 0) return 1;
  for (;;) {
    timeval tv{0, 5000};
    select(0, nullptr, nullptr, nullptr, &tv);
  }
}
