// A caller's program built against the installed library.
#include <vistelmo.h>

#include <cstdio>

int main() {
  IMGGRY g(2, 3, 7);
  IMGBIN b(2, 40);
  b(0, 33) = false;
  if (g(1, 2) != 7 || b(0, 33, 'n') || !b(5, 5) || versaovistelmo != 426) {
    std::printf("consumer: unexpected values\n");
    return 1;
  }
  std::printf("consumer: ok\n");
  return 0;
}
