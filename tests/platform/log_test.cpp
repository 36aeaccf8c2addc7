#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"
#include "tests/support/test_support.h"

TEST(LogPrint, FormatsAndCutsTextsSafelyFromManyThreads) {
  testing_support::TraceCapture trace;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i) LogWindow::Print("thread %d line %d", t, i);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(trace.Lines().size(), 400u);
  EXPECT_TRUE(trace.Contains("thread 3 line 99"));
  trace.Clear();
  LogWindow::Print("src = %s", std::string(1000, 'p').c_str());
  ASSERT_EQ(trace.Lines().size(), 1u);
  EXPECT_EQ(trace.Lines()[0].size(), 255u);
}

TEST(LogWrite, WithoutWindowHasNoEffectAndSucceeds) {
  EXPECT_EQ(LogWindow::Write("New media(%d) loaded.", 1), 1);
  EXPECT_EQ(LogWindow::AddLine("(1) Remove successfully."), 1);
}
