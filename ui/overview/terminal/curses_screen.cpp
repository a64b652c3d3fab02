#include "ui/overview/terminal/curses_screen.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <curses.h>
#include <term.h>

#include "ui/overview/terminal_cells.h"

namespace tolvex::overview {

namespace {

attr_t CursesAttributes(unsigned attributes) {
  attr_t result = A_NORMAL;
  if (attributes & CursesScreen::kReverse) result |= A_REVERSE;
  if (attributes & CursesScreen::kDim) result |= A_DIM;
  if (attributes & CursesScreen::kBold) result |= A_BOLD;
  if (attributes & CursesScreen::kUnderline) result |= A_UNDERLINE;
  return result;
}

}  // namespace

std::unique_ptr<CursesScreen> CursesScreen::Open() {
  const char* term = std::getenv("TERM");
  if (!term || !*term || std::strcmp(term, "dumb") == 0) return nullptr;
  std::FILE* terminal = std::fopen("/dev/tty", "r+e");
  if (!terminal) return nullptr;
  std::unique_ptr<CursesScreen> screen(new CursesScreen());
  screen->terminal_ = terminal;
  // Names are UTF-8: ncurses needs the character type of the user's
  // locale to show them. Numbers keep the C locale ("0.5 MB", not "0,5").
  const char* locale = std::setlocale(LC_CTYPE, nullptr);
  screen->saved_locale_ = locale ? locale : "C";
  std::setlocale(LC_CTYPE, "");
  // Whatever the front end printed so far comes before the overview.
  std::fflush(stdout);
  SCREEN* s = newterm(nullptr, terminal, terminal);
  if (!s) return nullptr;  // the destructor restores the locale and closes the terminal
  screen->screen_ = s;
  set_term(s);
  raw();  // Ctrl-C is a key here (Cancel), so the terminal is always restored
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(100);
  if (has_colors() && start_color() == OK) screen->colours_ = COLORS;
  return screen;
}

CursesScreen::~CursesScreen() {
  if (screen_) {
    set_term(static_cast<SCREEN*>(screen_));
    endwin();
    delscreen(static_cast<SCREEN*>(screen_));
  }
  if (terminal_) std::fclose(terminal_);
  std::setlocale(LC_CTYPE, saved_locale_.c_str());
}

int CursesScreen::height() const { return LINES; }
int CursesScreen::width() const { return COLS; }

int CursesScreen::ReadKey() { return wgetch(stdscr); }

int CursesScreen::KeyCode(const char* capability) {
  char* sequence = tigetstr(capability);
  if (!sequence || sequence == reinterpret_cast<char*>(-1)) return 0;
  const int code = key_defined(sequence);
  return code > 0 ? code : 0;
}

void CursesScreen::Clear() { erase(); }

void CursesScreen::Show() { refresh(); }

void CursesScreen::PlaceCursor(int line, int column) { move(line, column); }

int CursesScreen::PairOf(uint32_t ink, uint32_t background) {
  if (colours_ == 0) return 0;
  const std::pair<int, int> key{NearestTerminalColour(ink, colours_),
                                NearestTerminalColour(background, colours_)};
  const auto found = pairs_.find(key);
  if (found != pairs_.end()) return found->second;
  const int pair = static_cast<int>(pairs_.size()) + 1;
  if (pair >= COLOR_PAIRS || init_pair(static_cast<short>(pair), static_cast<short>(key.first),
                                       static_cast<short>(key.second)) != OK) {
    return 0;  // out of pairs: the terminal's own colours
  }
  pairs_[key] = pair;
  return pair;
}

void CursesScreen::Put(int line, int column, const std::string& text, uint32_t ink,
                       uint32_t background, unsigned attributes, int clip_left, int clip_right) {
  if (line < 0 || line >= LINES || text.empty()) return;
  const CellSpan span =
      PlaceText(text, column, column + CellWidth(text), Align::kLeft, std::max(0, clip_left),
                std::min(COLS, clip_right));
  if (span.text.empty()) return;
  const int pair = PairOf(ink, background);
  attr_t attrs = CursesAttributes(attributes);
  // Without colours the highlight shows as reverse video; grey text, which
  // few colours cannot show, as dim text.
  if (colours_ == 0 && background == SystemColourValue(kColourHighlight)) attrs |= A_REVERSE;
  if (colours_ < 256 && ink == SystemColourValue(kColourGrayText)) attrs |= A_DIM;
  attr_set(attrs, static_cast<short>(pair), nullptr);
  mvaddnstr(line, span.column, span.text.c_str(), static_cast<int>(span.text.size()));
  attr_set(A_NORMAL, 0, nullptr);
}

void CursesScreen::Write(int line, int column, const std::string& text, const Colour& ink,
                         const Colour& background, unsigned attributes) {
  Put(line, column, text, ColourValue(ink), ColourValue(background), attributes, 0, COLS);
}

void CursesScreen::FillLine(int line, int column, const Colour& background) {
  if (column >= COLS) return;
  Write(line, column, std::string(static_cast<size_t>(COLS - column), ' '),
        Colour::System(kColourWindowText), background);
}

void CursesScreen::Paint(const std::vector<DrawOp>& ops, const Rect& clip) {
  int underlined = -1;  // the line a focus frame underlines
  for (const DrawOp& op : ops) {
    if (op.kind == DrawOp::Kind::kFocusFrame) underlined = op.rect.bottom - 1;
  }
  const auto attributes = [underlined](int line) { return line == underlined ? kUnderline : kPlain; };
  uint32_t background = SystemColourValue(kColourWindow);
  for (const DrawOp& op : ops) {
    switch (op.kind) {
      case DrawOp::Kind::kFill: {
        background = ColourValue(op.colour);
        const int width = op.rect.right - op.rect.left;
        if (width <= 0) break;
        for (int line = std::max(op.rect.top, clip.top); line < std::min(op.rect.bottom, clip.bottom);
             ++line) {
          Put(line, op.rect.left, std::string(static_cast<size_t>(width), ' '), background,
              background, attributes(line), clip.left, clip.right);
        }
        break;
      }
      case DrawOp::Kind::kImage: {
        if (op.rect.top < clip.top || op.rect.top >= clip.bottom) break;
        const Glyph glyph = GlyphOf(op.strip, op.image);
        Put(op.rect.top, op.rect.left, glyph.text, ColourValue(glyph.colour), ColourValue(op.colour),
            attributes(op.rect.top), clip.left, clip.right);
        break;
      }
      case DrawOp::Kind::kText: {
        if (op.rect.top < clip.top || op.rect.top >= clip.bottom) break;
        const CellSpan span =
            PlaceText(op.text, op.rect.left, op.rect.right, op.align, clip.left, clip.right);
        Put(op.rect.top, span.column, span.text, ColourValue(op.colour), background,
            attributes(op.rect.top), clip.left, clip.right);
        break;
      }
      case DrawOp::Kind::kFocusFrame:
        break;
    }
  }
}

}  // namespace tolvex::overview
