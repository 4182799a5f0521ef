#pragma once

#include <QLabel>
#include <array>

namespace officecarve::gui {

// Label1..Label4 of a progress window by number, as the engine addresses
// them; nullptr for any other number.
inline QLabel* NumberedLabel(int number, const std::array<QLabel*, 4>& labels) {
  return number >= 1 && number <= 4 ? labels[static_cast<size_t>(number - 1)] : nullptr;
}

}  // namespace officecarve::gui
