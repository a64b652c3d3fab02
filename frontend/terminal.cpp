#include "frontend/terminal.h"

#if defined(_WIN32)
#include <conio.h>
#include <stdio.h>
#include <windows.h>
#else
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

char TerminalKeys::ReadKey() {
  const int key = _getch();
  if (key == '\r') return '\n';
  return key == EOF ? 0 : static_cast<char>(key);
}

#else

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

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
  const ssize_t got = read(STDIN_FILENO, &key, 1);
  if (is_terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  if (got != 1) return 0;
  return key == '\r' ? '\n' : key;
}

#endif

}  // namespace tolvex::frontend
