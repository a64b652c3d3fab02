#include "frontend/terminal.h"

#include "frontend/interrupt.h"

#if defined(_WIN32)
#include <conio.h>
#include <stdio.h>
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace tolvex::frontend {

#if defined(_WIN32)

// _isatty is true for every character device, NUL included; only a console
// has a console mode.
bool StdinIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool TerminalCanShowOverview() { return true; }

char TerminalKeys::ReadKey() {
  if (Interrupted()) return 0;
  const int key = _getch();
  if (key == '\r') return '\n';
  // _getch reads Ctrl-C as a key instead of signalling it.
  if (key == 3) {
    InterruptFromKey();
    return 0;
  }
  return key == EOF ? 0 : static_cast<char>(key);
}

#else

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool TerminalCanShowOverview() {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return false;
  const char* term = getenv("TERM");
  if (term == nullptr || *term == '\0') return false;
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool foreground = tcgetpgrp(fd) == getpgrp();
  close(fd);
  return foreground;
}

char TerminalKeys::ReadKey() {
  termios saved{};
  const bool is_terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (is_terminal) {
    termios single = saved;
    single.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    single.c_cc[VMIN] = 1;
    single.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &single);
  }
  char key = 0;
  ssize_t got = 0;
  // poll ends with EINTR on every signal, whatever SA_RESTART says: a
  // Ctrl-C while waiting for an answer ends the wait.
  for (;;) {
    if (Interrupted()) break;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    got = read(STDIN_FILENO, &key, 1);
    break;
  }
  if (is_terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  if (got != 1) return 0;
  return key == '\r' ? '\n' : key;
}

#endif

}  // namespace tolvex::frontend
