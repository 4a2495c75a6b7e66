#pragma once
// Input the caller must fix. what() is the text the worksheet cell shows, so it
// is written for the user ("Negative or missing PK parameter!").
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace pkcore {

class InputError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A message a routine can give, written once: the text as the cell shows it,
// with a {placeholder} for each value the routine fills in ("{name} must be a
// positive number!"), and what the user can do about it. The function
// declarations list them, so the help pages show every text a cell can hold.
struct Message {
  const char* text;
  const char* remedy;
};

// The message's text with its placeholders replaced by the values, in order.
std::string Filled(const Message& message, std::initializer_list<std::string> values);

}  // namespace pkcore
