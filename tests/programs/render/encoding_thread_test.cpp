// Jobs run in order on the encoding thread, and a job's error reaches the poster.
#include "programs/render/encoding_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace velloway::render {
namespace {

TEST(EncodingThread, RunsJobsInTheOrderPosted) {
  std::vector<int> ran;
  EncodingThread thread(2);
  for (int job = 0; job < 50; ++job) thread.Post([&ran, job] { ran.push_back(job); });
  thread.Drain();
  std::vector<int> wanted(50);
  for (int job = 0; job < 50; ++job) wanted[static_cast<std::size_t>(job)] = job;
  EXPECT_EQ(ran, wanted);
}

TEST(EncodingThread, AJobsErrorStopsTheRestAndReachesThePoster) {
  std::vector<int> ran;
  EncodingThread thread(1);
  thread.Post([&ran] { ran.push_back(1); });
  thread.Post([] { throw std::runtime_error("the disk is full"); });
  bool thrown = false;
  try {
    // Whichever call meets the error throws it; once it has, every call does.
    for (int job = 3; job < 100; ++job) thread.Post([&ran, job] { ran.push_back(job); });
    thread.Drain();
  } catch (const std::runtime_error& error) {
    thrown = true;
    EXPECT_STREQ(error.what(), "the disk is full");
  }
  EXPECT_TRUE(thrown);
  EXPECT_THROW(thread.Drain(), std::runtime_error);
  EXPECT_EQ(ran, std::vector<int>{1});
}

}  // namespace
}  // namespace velloway::render
