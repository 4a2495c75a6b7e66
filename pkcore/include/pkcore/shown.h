#pragma once
// Numbers as a message shows them to the user.
#include <string>
#include <utility>

namespace pkcore {

// Six significant digits, as printf's %g writes them: "152.4", "5.2e-05".
std::string Shown(double value);

// Two numbers that a message sets side by side ("at least 152.4 cm, not
// 152.39999999999998!"): six significant digits, or as many more as it takes
// to tell them apart; a number that needs fewer to be read back exactly is
// shown with those, so a round limit stays round. Equal numbers are shown as
// the same shortest text.
std::pair<std::string, std::string> ShownApart(double a, double b);

}  // namespace pkcore
