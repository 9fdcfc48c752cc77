// Starting a batch where only glibc can make thread creation fail.
#include <gtest/gtest.h>
#include <pthread.h>

#include <memory>

#include "app/pipeline.h"
#include "tests/support/recording_window.h"

namespace pindlewick {
namespace {

TEST(StartBatch, SaysSoWhenNoThreadCanStart) {
  // No new thread can reserve a stack this large.
  pthread_attr_t saved, huge;
  ASSERT_EQ(::pthread_getattr_default_np(&saved), 0);
  ASSERT_EQ(::pthread_attr_init(&huge), 0);
  ASSERT_EQ(::pthread_attr_setstacksize(&huge, std::size_t{1} << 46), 0);
  ASSERT_EQ(::pthread_setattr_default_np(&huge), 0);
  auto window = std::make_shared<testing::RecordingWindow>();
  const bool started = startBatch(window, PartSource{PartSource::Kind::parseService, "http://127.0.0.1:9"});
  ::pthread_setattr_default_np(&saved);
  ::pthread_attr_destroy(&huge);
  ::pthread_attr_destroy(&saved);
  EXPECT_FALSE(started);
  EXPECT_TRUE(window->events.empty());
}

}  // namespace
}  // namespace pindlewick
