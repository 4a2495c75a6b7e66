#pragma once
// Input the caller must fix. what() is the text the worksheet cell shows, so it
// is written for the user ("Negative or missing PK parameter!").
#include <stdexcept>

namespace pkcore {

class InputError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace pkcore
