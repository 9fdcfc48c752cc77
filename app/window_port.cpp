#include "app/window_port.h"

namespace pindlewick {

std::string_view controlName(EditBox box) {
  switch (box) {
    case EditBox::pageUrl: return "编辑框1";
    case EditBox::firstPart: return "编辑框2";
    case EditBox::lastPart: return "编辑框3";
    case EditBox::folder: return "编辑框4";
  }
  return {};
}

std::string_view controlName(Label label) {
  switch (label) {
    case Label::status: return "标签5";
    case Label::speed: return "标签6";
    case Label::percent: return "标签7";
  }
  return {};
}

}  // namespace pindlewick
