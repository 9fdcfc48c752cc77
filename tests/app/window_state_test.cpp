#include "app/window_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace pindlewick {
namespace {

WindowState::Snapshot someState() {
  WindowState::Snapshot initial;
  initial.editBoxes = {"url", "1", "2", "folder/"};
  initial.labels = {"idle", "speed", ""};
  return initial;
}

TEST(WindowState, WorkersReadBoxesAndWriteControls) {
  WindowState state(someState());
  EXPECT_EQ(state.readEditBox(EditBox::lastPart), "2");
  state.setEditBox(EditBox::lastPart, "9");
  EXPECT_EQ(state.readEditBox(EditBox::lastPart), "9");

  const std::uint64_t before = state.snapshot().version;
  state.setLabel(Label::status, "busy");
  state.setProgressBar(42);
  const WindowState::Snapshot after = state.snapshot();
  EXPECT_EQ(after.labels[static_cast<std::size_t>(Label::status)], "busy");
  EXPECT_EQ(after.progressBar, 42);
  EXPECT_EQ(after.version, before + 2);
}

TEST(WindowState, MessageWaitsForItsAnswer) {
  WindowState state(someState());
  std::atomic<bool> answering = false;
  bool answeredBeforeReturn = false;
  std::thread worker([&] {
    state.showMessage("problem", "caption");
    answeredBeforeReturn = answering;
  });
  std::optional<WindowState::Message> message;
  while (!(message = state.nextMessage())) std::this_thread::yield();
  EXPECT_EQ(message->text, "problem");
  EXPECT_EQ(message->caption, "caption");
  answering = true;
  state.answerMessage(message->id);
  worker.join();
  EXPECT_TRUE(answeredBeforeReturn) << "the worker must wait for OK";
  EXPECT_FALSE(state.nextMessage().has_value());
}

TEST(WindowState, EachMessageWaitsForItsOwnAnswer) {
  WindowState state(someState());
  std::atomic<int> returned = 0;
  std::thread first([&] { state.showMessage("first", "c"), returned += 1; });
  std::optional<WindowState::Message> one;
  while (!(one = state.nextMessage())) std::this_thread::yield();
  std::thread second([&] { state.showMessage("second", "c"), returned += 10; });
  std::optional<WindowState::Message> two;
  while (!(two = state.nextMessage())) std::this_thread::yield();

  state.answerMessage(two->id);  // answered out of order
  second.join();
  EXPECT_EQ(returned, 10) << "only the answered message's worker goes on";
  state.answerMessage(one->id);
  first.join();
  EXPECT_EQ(returned, 11);
}

TEST(WindowState, MessageAnsweredWhileProgressWritesContinue) {
  WindowState state(someState());
  std::atomic<bool> stop = false;
  std::thread progress([&] {
    int i = 0;
    do {  // at least one row, however early the stop comes
      state.setProgressBar(i);
      state.setLabel(Label::percent, intToText(i) + "%");
      i = (i + 1) % 101;
    } while (!stop);
  });
  std::thread asking([&] { state.showMessage("full", "c"); });
  std::optional<WindowState::Message> message;
  while (!(message = state.nextMessage())) (void)state.snapshot();  // the window repaints meanwhile
  state.answerMessage(message->id);
  asking.join();
  stop = true;
  progress.join();
  const WindowState::Snapshot last = state.snapshot();
  EXPECT_EQ(last.labels[static_cast<std::size_t>(Label::percent)],
            intToText(last.progressBar) + "%");
}

TEST(WindowState, ShutDownReleasesWaitingWorkers) {
  WindowState state(someState());
  std::thread worker([&] { state.showMessage("never answered", "caption"); });
  while (!state.nextMessage()) std::this_thread::yield();
  state.shutDown();
  worker.join();
  state.showMessage("after shutdown", "caption");  // returns at once
  SUCCEED();
}

}  // namespace
}  // namespace pindlewick
