#include <errno.h>
#include <unistd.h>

#include <cstdio>

#include "numerics/console_internal.h"

namespace vistelmo {

RawConsole::RawConsole() {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios t = saved_;
  t.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
  t.c_iflag &= ~(ICRNL | INLCR | IGNCR | IXON);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &t) == 0;
}

RawConsole::~RawConsole() {
  if (raw_) tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_);
}

int RawConsole::getch() {
  unsigned char c;
  for (;;) {
    ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got == 1) return c;
    if (got < 0 && errno == EINTR) continue;
    return -1;
  }
}

void RawConsole::putch(int c) {
  std::fflush(stdout);
  unsigned char b = static_cast<unsigned char>(c);
  while (write(STDOUT_FILENO, &b, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace vistelmo
