// The controls' texts as workers see them: a thread-safe WindowPort that a
// window shows at its own pace. Workers write here and never wait for the
// window, except while a message waits for its OK.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>

#include "app/window_port.h"

namespace pindlewick {

class WindowState final : public WindowPort {
 public:
  struct Snapshot {
    std::array<std::string, 4> editBoxes;  // by EditBox, UTF-8
    std::array<Text, 3> labels;     // by Label
    int progressBar = 0;
    std::uint64_t version = 0;  // grows with every write by a worker
  };

  struct Message {
    std::uint64_t id = 0;
    Text text;
    Text caption;
  };

  explicit WindowState(const Snapshot& initial);

  // WindowPort, for the workers.
  std::string readEditBox(EditBox box) override;
  void setLabel(Label label, TextView caption) override;
  void setProgressBar(int position) override;
  void showMessage(TextView message, TextView caption) override;

  // For the window's thread.
  void setEditBox(EditBox box, std::string_view utf8);  // what the user typed
  Snapshot snapshot() const;
  std::optional<Message> nextMessage();  // a message not yet shown, oldest first
  void answerMessage(std::uint64_t id);  // the user closed that message
  void shutDown();  // the window is gone: no message waits for an answer any more

 private:
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  Snapshot state_;
  std::deque<Message> unshown_;
  std::uint64_t lastMessageId_ = 0;
  std::set<std::uint64_t> answeredIds_;  // answered, not yet seen by their worker
  bool shutDown_ = false;
};

}  // namespace pindlewick
