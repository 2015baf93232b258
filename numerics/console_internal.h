// Console keys without echo, as a POSIX terminal gives them. Library only.
#pragma once

#include <termios.h>

namespace vistelmo {

// While alive, a terminal on standard input hands over every key at once, unechoed and
// untranslated (Enter is 13, Ctrl-C is 3). Input that is not a terminal is read as it is.
class RawConsole {
 public:
  RawConsole();
  ~RawConsole();
  RawConsole(const RawConsole&) = delete;
  RawConsole& operator=(const RawConsole&) = delete;

  // The next key code (0..255); -1 at the end of the input.
  int getch();
  // Writes one character straight to standard output, after what stdio holds.
  void putch(int c);

 private:
  bool raw_ = false;
  termios saved_{};
};

}  // namespace vistelmo
