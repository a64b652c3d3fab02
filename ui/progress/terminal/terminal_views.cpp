#include "ui/progress/terminal/terminal_views.h"

#include <curses.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/platform.h"
#include "platform/terminal_keys.h"

namespace tolvex {

namespace {

constexpr int kMaxBoxWidth = 100;

// The box of a view, centred: its left column and top line.
struct Box {
  int left = 0;
  int top = 0;
  int width = 0;  // inside the frame
};

// Draws the frame with the caption in its top edge; returns the inside.
Box DrawFrame(const TerminalSession& session, const std::string& caption, int inner_lines) {
  const int width = std::max(10, std::min(session.Width(), kMaxBoxWidth + 2));
  const int height = inner_lines + 2;
  Box inside;
  inside.left = (session.Width() - width) / 2;
  inside.top = std::max(0, (session.Height() - height) / 2);
  inside.width = width - 4;  // a frame column and a space on each side
  WINDOW* frame =
      derwin(stdscr, std::min(height, session.Height()), width, inside.top, inside.left);
  if (frame) {
    box(frame, 0, 0);
    const std::string title = " " + FitToWidth(caption, static_cast<size_t>(width - 6)) + " ";
    mvwaddstr(frame, 0, 2, title.c_str());
    delwin(frame);
  }
  return inside;
}

void Put(const Box& box, int line, int column, const std::string& text, attr_t attributes = 0) {
  if (attributes) attron(attributes);
  mvaddstr(box.top + 1 + line, box.left + 2 + column, text.c_str());
  if (attributes) attroff(attributes);
}

// A button as the terminal shows it, centred on `line`, with its key.
void PutButton(const Box& box, int line, const std::string& label, const std::string& keys,
               bool enabled) {
  const std::string text = "[ " + label + " ]  " + keys;
  const int column = std::max(0, (box.width - static_cast<int>(text.size())) / 2);
  Put(box, line, column, text, enabled ? A_BOLD : A_DIM);
}

// "512 B", "1.5 KiB", "300.0 MiB", "2.1 GiB".
std::string ByteText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

// "0:45", "12:03", "2:05:00".
std::string DurationText(uint64_t seconds) {
  char text[32];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
  }
  return text;
}

// Whole percent, rounded down: 100 % only when all is there.
int PercentOf(uint64_t part, uint64_t whole) {
  if (whole == 0 || part >= whole) return whole == 0 ? 0 : 100;
  return std::min(99, static_cast<int>(static_cast<double>(part) * 100 / static_cast<double>(whole)));
}

}  // namespace

// --- Search view ---------------------------------------------------------------

TerminalSearchView::TerminalSearchView(TerminalSession& session, std::string caption)
    : session_(session), caption_(std::move(caption)) {
  session_.Show([this] { Paint(); });
  SetKeyHandler([this](int key) { OnKey(key); }, [this] { return session_.ReadKey(); });
}

TerminalSearchView::~TerminalSearchView() { Close(); }

void TerminalSearchView::Paint() const {
  const Box box = DrawFrame(session_, caption_, 5);
  Put(box, 0, 0, FitToWidth(status_, static_cast<size_t>(box.width)), A_BOLD);
  Put(box, 2, 0,
      BarText(static_cast<long long>(position_) - minimum_,
              static_cast<long long>(maximum_) - minimum_, static_cast<size_t>(box.width), ""));
  PutButton(box, 4, "Cancel", "c or Esc", true);
}

void TerminalSearchView::OnKey(int key) {
  if (key == 'c' || key == 'C' || key == TerminalSession::kLoneEscape) CancelPressed();
}

void TerminalSearchView::ShowStatus(const std::string& text) {
  status_ = text;
  session_.Repaint();
}

void TerminalSearchView::ShowRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  session_.Repaint();
}

void TerminalSearchView::ShowPosition(int position) {
  position_ = position;
  session_.Repaint();
}

void TerminalSearchView::Close() {
  if (!open_) return;
  open_ = false;
  ClearKeyHandler();
  session_.Hide();
}

// --- Copy view -----------------------------------------------------------------

TerminalCopyView::TerminalCopyView(TerminalSession& session, std::string caption)
    : session_(session), caption_(std::move(caption)) {
  session_.Show([this] { Paint(); });
  SetKeyHandler([this](int key) { OnKey(key); }, [this] { return session_.ReadKey(); });
}

TerminalCopyView::~TerminalCopyView() {
  ClearKeyHandler();
  session_.Hide();
}

void TerminalCopyView::Paint() const {
  const Box box = DrawFrame(session_, caption_, 10);
  // Size "%9lu" and date/time at the right; the path gets the rest.
  const int stamp_width = 17;
  const int size_width = 9;
  const int path_width = std::max(8, box.width - stamp_width - size_width - 4);
  const auto row = [&](int line, CopyField path, CopyField size, CopyField stamp) {
    const auto text = [this](CopyField f) { return fields_[static_cast<size_t>(f)]; };
    Put(box, line, 0, FitToWidth(text(path), static_cast<size_t>(path_width)), A_BOLD);
    const std::string size_text = FitToWidth(text(size), size_width);
    const std::string stamp_text = FitToWidth(text(stamp), stamp_width);
    Put(box, line, path_width + 2 + size_width - static_cast<int>(size_text.size()), size_text,
        A_BOLD);
    Put(box, line, box.width - static_cast<int>(stamp_text.size()), stamp_text, A_BOLD);
  };
  Put(box, 0, 0, "Copying");
  row(1, CopyField::kPath, CopyField::kSize, CopyField::kStamp);
  Put(box, 2, 0, "to");
  row(3, CopyField::kToPath, CopyField::kToSize, CopyField::kToStamp);
  // The gauge moves as files are done; the bytes move it within a file.
  const int percent = std::max(percent_, bytesSeen_ ? PercentOf(bytes_.done, bytes_.total) : 0);
  Put(box, 5, 0,
      BarText(percent, 100, static_cast<size_t>(box.width), std::to_string(percent) + "%"));
  if (bytesSeen_) Put(box, 6, 0, FitToWidth(BytesLine(), static_cast<size_t>(box.width)));
  if (bytesSeen_ && bytes_.fileDone < bytes_.fileSize) {
    const std::string file = "This file: " +
                             std::to_string(PercentOf(bytes_.fileDone, bytes_.fileSize)) +
                             "% of " + ByteText(bytes_.fileSize);
    Put(box, 7, 0, FitToWidth(file, static_cast<size_t>(box.width)));
  }
  PutButton(box, 9, "Interrupt", interrupt_enabled_ ? "i" : "requested", interrupt_enabled_);
}

std::string TerminalCopyView::BytesLine() const {
  std::string line = ByteText(bytes_.done) + " of " + ByteText(bytes_.total);
  const uint64_t elapsed = lastTick_ - startTick_;
  if (elapsed < 1000 || bytes_.done <= startBytes_) return line;
  const double per_second =
      static_cast<double>(bytes_.done - startBytes_) * 1000 / static_cast<double>(elapsed);
  line += "   " + ByteText(static_cast<uint64_t>(per_second)) + "/s";
  const uint64_t left = bytes_.total > bytes_.done ? bytes_.total - bytes_.done : 0;
  line += "   " + DurationText(static_cast<uint64_t>(static_cast<double>(left) / per_second + 0.5)) +
          " left";
  return line;
}

void TerminalCopyView::OnKey(int key) {
  if (key == 'i' || key == 'I') InterruptPressed();
}

void TerminalCopyView::ShowField(CopyField field, const std::string& text) {
  fields_[static_cast<size_t>(field)] = text;
  session_.Repaint();
}

void TerminalCopyView::ShowPercent(int percent) {
  percent_ = percent;
  session_.Repaint();
}

void TerminalCopyView::ShowCopiedBytes(const CopiedBytes& bytes) {
  const uint64_t now = Sys().TickMilliseconds();
  if (!bytesSeen_) {
    bytesSeen_ = true;
    startTick_ = now;
    startBytes_ = bytes.done;
    paintTick_ = now - kRedrawMilliseconds;
  }
  bytes_ = bytes;
  lastTick_ = now;
  // A copy reports every chunk; the screen is drawn a few times a second.
  // What is not drawn now is drawn with the next row or gauge change.
  if (now - paintTick_ < kRedrawMilliseconds) return;
  paintTick_ = now;
  session_.Repaint();
}

void TerminalCopyView::EnableInterrupt(bool enabled) {
  interrupt_enabled_ = enabled;
  session_.Repaint();
}

}  // namespace tolvex
