// bench-export_handoff [ROUND_TRIPS]
//
// What one hand-off between the export's threads costs: two threads pass a
// turn back and forth (each waits until the other wakes it), with
// std::mutex and std::condition_variable against the platform's hand-off
// lock and condition, which the export uses. Best of three each, taking
// turns. Under Wine the standard pair waits in the Wine server.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace {

template <class Mutex, class Condition>
double PingPong(int roundTrips) {
  Mutex mutex;
  Condition turnChanged;
  int turn = 0;  // whose turn: 0 this thread, 1 the other
  const auto start = std::chrono::steady_clock::now();
  std::thread other([&] {
    for (int i = 0; i < roundTrips; ++i) {
      std::unique_lock<Mutex> lock(mutex);
      turnChanged.wait(lock, [&] { return turn == 1; });
      turn = 0;
      turnChanged.notify_all();
    }
  });
  for (int i = 0; i < roundTrips; ++i) {
    std::unique_lock<Mutex> lock(mutex);
    turn = 1;
    turnChanged.notify_all();
    turnChanged.wait(lock, [&] { return turn == 0; });
  }
  other.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int roundTrips = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
  double standard = 1e9, handOff = 1e9;
  for (int run = 0; run < 3; ++run) {
    standard = std::min(standard, PingPong<std::mutex, std::condition_variable>(roundTrips));
    handOff = std::min(handOff,
                       PingPong<platform::HandOffMutex, platform::HandOffCondition>(roundTrips));
  }
  std::printf("round trips: %d\n", roundTrips);
  std::printf("std::mutex and condition_variable: %.2f us per hand-off\n",
              standard * 1e6 / (2.0 * roundTrips));
  std::printf("hand-off lock and condition: %.2f us per hand-off\n",
              handOff * 1e6 / (2.0 * roundTrips));
  std::printf("ratio hand-off / standard: %.2f\n", handOff / standard);
  return 0;
}
