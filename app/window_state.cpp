#include "app/window_state.h"

namespace pindlewick {

WindowState::WindowState(const Snapshot& initial) : state_(initial) {}

std::string WindowState::readEditBox(EditBox box) {
  const std::lock_guard lock(mutex_);
  return state_.editBoxes[static_cast<std::size_t>(box)];
}

void WindowState::setLabel(Label label, TextView caption) {
  const std::lock_guard lock(mutex_);
  state_.labels[static_cast<std::size_t>(label)] = caption;
  ++state_.version;
}

void WindowState::setProgressBar(int position) {
  const std::lock_guard lock(mutex_);
  state_.progressBar = position;
  ++state_.version;
}

void WindowState::showMessage(TextView message, TextView caption) {
  std::unique_lock lock(mutex_);
  if (shutDown_) return;
  const std::uint64_t id = ++lastMessageId_;
  unshown_.push_back(Message{id, Text(message), Text(caption)});
  answered_.wait(lock, [&] { return shutDown_ || answeredIds_.contains(id); });
  answeredIds_.erase(id);
}

void WindowState::setEditBox(EditBox box, std::string_view utf8) {
  const std::lock_guard lock(mutex_);
  state_.editBoxes[static_cast<std::size_t>(box)] = utf8;
}

WindowState::Snapshot WindowState::snapshot() const {
  const std::lock_guard lock(mutex_);
  return state_;
}

std::optional<WindowState::Message> WindowState::nextMessage() {
  const std::lock_guard lock(mutex_);
  if (unshown_.empty()) return std::nullopt;
  Message next = std::move(unshown_.front());
  unshown_.pop_front();
  return next;
}

void WindowState::answerMessage(std::uint64_t id) {
  {
    const std::lock_guard lock(mutex_);
    answeredIds_.insert(id);
  }
  answered_.notify_all();
}

void WindowState::shutDown() {
  {
    const std::lock_guard lock(mutex_);
    shutDown_ = true;
  }
  answered_.notify_all();
}

}  // namespace pindlewick
